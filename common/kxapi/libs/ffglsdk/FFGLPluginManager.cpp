// Parameter metadata list of CFFGLPluginManager (see FFGLPluginManager.h).
#include "FFGLPluginManager.h"
#include "FFGLWords.h"

#include <cstring>
#include <memory>

namespace {

constexpr uint32_t kFail = 0xFFFFFFFFu;
constexpr uint32_t kTypeBuffer = 12;
constexpr uint32_t kTypeOption = 11;
constexpr uint32_t kTypeText = 100;

// Copies up to the first NUL of `src` into the fixed name field and zero-fills the rest; a name
// of 16 or more characters fills the field without a terminator.
void copyName(char (&dst)[FF_PARAM_INFO_NAME_SIZE], const char* src)
{
    std::memset(dst, 0, sizeof dst);
    if (src == nullptr)
        return;
    for (int i = 0; i < FF_PARAM_INFO_NAME_SIZE && src[i] != '\0'; ++i)
        dst[i] = src[i];
}

} // namespace

CFFGLPluginManager::CFFGLPluginManager()
    : m_iNumParams(0), m_pFirst(nullptr), m_pLast(nullptr), m_iMinInputs(0), m_iMaxInputs(0),
      m_timeSupported(false)
{
}

CFFGLPluginManager::~CFFGLPluginManager()
{
    ParamInfo* node = m_pFirst;
    while (node != nullptr) {
        ParamInfo* next = node->pNext;
        if (node->dwType == kTypeText)
            delete[] node->DefaultStringVal;
        delete node;
        node = next;
    }
    m_pFirst = nullptr;
    m_pLast = nullptr;
}

ParamInfo* CFFGLPluginManager::appendNode(uint32_t index, const char* name, uint32_t type)
{
    auto node = std::make_unique<ParamInfo>();
    node->ID = index;
    copyName(node->Name, name);
    node->dwType = type;
    node->NumElements = 1;
    node->Usage = 0;
    node->DefaultFloatVal = 0.0f;
    node->DefaultStringVal = nullptr;
    node->pNext = nullptr;
    ParamInfo* raw = node.release(); // the list owns its nodes from here on
    if (m_pLast == nullptr)
        m_pFirst = raw;
    else
        m_pLast->pNext = raw;
    m_pLast = raw;
    ++m_iNumParams;
    return raw;
}

ParamInfo* CFFGLPluginManager::findNode(uint32_t index) const
{
    for (ParamInfo* node = m_pFirst; node != nullptr; node = node->pNext)
        if (node->ID == index)
            return node;
    return nullptr;
}

void CFFGLPluginManager::SetParamInfo(uint32_t index, const char* name, uint32_t type,
                                      float defaultValue)
{
    // Clamp into the host's 0..1 range; a NaN default becomes 0 rather than travelling on.
    float v = defaultValue;
    if (!(v >= 0.0f))
        v = 0.0f;
    else if (v > 1.0f)
        v = 1.0f;
    appendNode(index, name, type)->DefaultFloatVal = v;
}

void CFFGLPluginManager::SetParamInfo(uint32_t index, const char* name, uint32_t type,
                                      bool defaultValue)
{
    appendNode(index, name, type)->DefaultFloatVal = defaultValue ? 1.0f : 0.0f;
}

void CFFGLPluginManager::SetParamInfo(uint32_t index, const char* name, uint32_t type,
                                      const char* defaultValue)
{
    // Allocate the copy first so a failed allocation leaves the list unchanged.
    std::unique_ptr<char[]> text(FFCopyText(defaultValue));
    ParamInfo* node = appendNode(index, name, type);
    if (type == kTypeText)
        node->DefaultStringVal = text.release();
}

void CFFGLPluginManager::SetBufferParamInfo(uint32_t index, const char* name, uint32_t numElements,
                                            uint32_t usage)
{
    ParamInfo* node = appendNode(index, name, kTypeBuffer);
    node->NumElements = numElements;
    node->Usage = usage;
}

void CFFGLPluginManager::SetOptionParamInfo(uint32_t index, const char* name, uint32_t numElements,
                                            int defaultValue)
{
    ParamInfo* node = appendNode(index, name, kTypeOption);
    node->NumElements = numElements;
    node->DefaultFloatVal = static_cast<float>(defaultValue);
}

char* CFFGLPluginManager::GetParamName(uint32_t index) const
{
    ParamInfo* node = findNode(index);
    return node != nullptr ? node->Name : nullptr;
}

uint32_t CFFGLPluginManager::GetParamType(uint32_t index) const
{
    ParamInfo* node = findNode(index);
    return node != nullptr ? node->dwType : kFail;
}

uint32_t CFFGLPluginManager::GetNumParamElements(uint32_t index) const
{
    ParamInfo* node = findNode(index);
    return node != nullptr ? node->NumElements : kFail;
}

uint32_t CFFGLPluginManager::GetParamUsage(uint32_t index) const
{
    ParamInfo* node = findNode(index);
    return node != nullptr ? node->Usage : kFail;
}

void* CFFGLPluginManager::GetParamDefault(uint32_t index) const
{
    ParamInfo* node = findNode(index);
    if (node == nullptr)
        return nullptr;
    if (node->dwType == kTypeText)
        return node->DefaultStringVal;
    return &node->DefaultFloatVal;
}
