// Parameter metadata and input counts of a plug-in: what a host may ask without rendering.
//
// `CFFGLPluginManager` owns a singly linked list of `ParamInfo` nodes (one per announced
// parameter, in the order they were appended) together with owned copies of text defaults. The
// list is filled while the concrete instance is constructed and is read-only afterwards; it is
// freed with the object. Lookups walk from the head and answer from the first node whose index
// matches. No GL context is needed; call from the host's thread.
#pragma once

#include <cstdint>

// Capacity of a parameter name, in bytes (NUL-padded, not terminated when 16 characters long).
constexpr int FF_PARAM_INFO_NAME_SIZE = 16;

struct ParamInfo {
    uint32_t ID;                             // the parameter index the host uses
    char Name[FF_PARAM_INFO_NAME_SIZE];      // not terminated when full
    uint32_t dwType;                         // FFGL parameter type code
    uint32_t NumElements;
    uint32_t Usage;
    float DefaultFloatVal;
    char* DefaultStringVal;                  // owned copy, only for text parameters
    ParamInfo* pNext;                        // following node, null for the last
};

class CFFGLPluginManager {
public:
    CFFGLPluginManager();
    virtual ~CFFGLPluginManager();

    CFFGLPluginManager(const CFFGLPluginManager&) = delete;
    CFFGLPluginManager& operator=(const CFFGLPluginManager&) = delete;

    void SetMinInputs(int n);
    void SetMaxInputs(int n);
    int GetMinInputs() const;
    int GetMaxInputs() const;
    void SetTimeSupported(bool supported);
    bool GetTimeSupported() const;

    int GetNumParams() const;

    // Appending: each adds one node (also for repeated indices) and counts it.
    void SetParamInfo(uint32_t index, const char* name, uint32_t type, float defaultValue);
    void SetParamInfo(uint32_t index, const char* name, uint32_t type, bool defaultValue);
    void SetParamInfo(uint32_t index, const char* name, uint32_t type, const char* defaultValue);
    void SetBufferParamInfo(uint32_t index, const char* name, uint32_t numElements, uint32_t usage);
    void SetOptionParamInfo(uint32_t index, const char* name, uint32_t numElements, int defaultValue);

    // Lookups. Returned pointers point into the list and live as long as this object.
    char* GetParamName(uint32_t index) const;        // the 16-byte name field, or null
    uint32_t GetParamType(uint32_t index) const;      // or 0xFFFFFFFF
    uint32_t GetNumParamElements(uint32_t index) const;
    uint32_t GetParamUsage(uint32_t index) const;
    void* GetParamDefault(uint32_t index) const;      // text pointer for text nodes, else float*
    // The first node of the list (null when empty); nodes are owned by this object.
    const ParamInfo* GetParamInfoList() const { return m_pFirst; }

private:
    ParamInfo* appendNode(uint32_t index, const char* name, uint32_t type);
    ParamInfo* findNode(uint32_t index) const;

    int m_iNumParams;
    ParamInfo* m_pFirst;
    ParamInfo* m_pLast;
    int m_iMinInputs;
    int m_iMaxInputs;
    bool m_timeSupported;
};

#include "FFGLPluginManager_inl.h"
