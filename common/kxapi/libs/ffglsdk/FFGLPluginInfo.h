// The registration record of a plug-in: its identity (information and extended information
// records) and its instance factory.
//
// A plug-in defines exactly one static CFFGLPluginInfo; its constructor makes it the current
// registration (g_CurrPluginInfo, the last one constructed wins) and plugMain answers from it.
// The record owns copies of the description, the about text and the extended data block; the
// records it returns point into it and live as long as it. No GL context needed.
#pragma once

#include "FFGLPluginSDK.h"

class CFFGLPluginInfo {
public:
    CFFGLPluginInfo(FPCREATEINSTANCEGL createInstance, const char* uniqueID, const char* name,
                    uint32_t apiMajorVersion, uint32_t apiMinorVersion, uint32_t pluginMajorVersion,
                    uint32_t pluginMinorVersion, uint32_t pluginType, const char* description,
                    const char* about, uint32_t extendedDataSize = 0,
                    const void* extendedDataBlock = nullptr);
    ~CFFGLPluginInfo();

    CFFGLPluginInfo(const CFFGLPluginInfo&) = delete;
    CFFGLPluginInfo& operator=(const CFFGLPluginInfo&) = delete;

    const PluginInfoStructTag* GetPluginInfo() const;
    const PluginExtendedInfoStructTag* GetPluginExtendedInfo() const;
    FPCREATEINSTANCEGL GetFactoryMethod() const;

private:
    PluginInfoStructTag m_PluginInfo;
    PluginExtendedInfoStructTag m_PluginExtendedInfo;
    FPCREATEINSTANCEGL m_pCreateInstance;
};

// The current registration; null until a record is constructed, and again once it is destroyed.
extern CFFGLPluginInfo* g_CurrPluginInfo;
