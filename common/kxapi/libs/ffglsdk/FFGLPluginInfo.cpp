// The registration record (see FFGLPluginInfo.h).
#include "FFGLPluginInfo.h"
#include "FFGLWords.h"

#include <cstring>
#include <memory>

namespace {

// Copies characters up to the first NUL into a fixed field and zero-fills the rest; longer texts
// are cut to the field, which is then not terminated.
template <std::size_t N>
void copyField(char (&dst)[N], const char* src)
{
    std::memset(dst, 0, N);
    if (src == nullptr)
        return;
    for (std::size_t i = 0; i < N && src[i] != '\0'; ++i)
        dst[i] = src[i];
}

} // namespace

CFFGLPluginInfo::CFFGLPluginInfo(FPCREATEINSTANCEGL createInstance, const char* uniqueID,
                                 const char* name, uint32_t apiMajorVersion,
                                 uint32_t apiMinorVersion, uint32_t pluginMajorVersion,
                                 uint32_t pluginMinorVersion, uint32_t pluginType,
                                 const char* description, const char* about,
                                 uint32_t extendedDataSize, const void* extendedDataBlock)
    : m_PluginInfo(), m_PluginExtendedInfo(), m_pCreateInstance(createInstance)
{
    m_PluginInfo.APIMajorVersion = apiMajorVersion;
    m_PluginInfo.APIMinorVersion = apiMinorVersion;
    copyField(m_PluginInfo.PluginUniqueID, uniqueID);
    copyField(m_PluginInfo.PluginName, name);
    m_PluginInfo.PluginType = pluginType;

    // Make every copy before taking ownership, so a failed allocation leaks nothing.
    std::unique_ptr<char[]> descriptionCopy(FFCopyText(description));
    std::unique_ptr<char[]> aboutCopy(FFCopyText(about));
    std::unique_ptr<unsigned char[]> dataCopy;
    uint32_t dataSize = 0;
    if (extendedDataSize > 0 && extendedDataBlock != nullptr) {
        dataCopy.reset(new unsigned char[extendedDataSize]);
        std::memcpy(dataCopy.get(), extendedDataBlock, extendedDataSize);
        dataSize = extendedDataSize;
    }
    m_PluginExtendedInfo.PluginMajorVersion = pluginMajorVersion;
    m_PluginExtendedInfo.PluginMinorVersion = pluginMinorVersion;
    m_PluginExtendedInfo.Description = descriptionCopy.release();
    m_PluginExtendedInfo.About = aboutCopy.release();
    m_PluginExtendedInfo.FreeFrameExtendedDataSize = dataSize;
    m_PluginExtendedInfo.FreeFrameExtendedDataBlock = dataCopy.release();

    g_CurrPluginInfo = this;
}

CFFGLPluginInfo::~CFFGLPluginInfo()
{
    delete[] m_PluginExtendedInfo.Description;
    delete[] m_PluginExtendedInfo.About;
    delete[] static_cast<unsigned char*>(m_PluginExtendedInfo.FreeFrameExtendedDataBlock);
    // Never leave the current registration pointing at a destroyed record.
    if (g_CurrPluginInfo == this)
        g_CurrPluginInfo = nullptr;
}

const PluginInfoStructTag* CFFGLPluginInfo::GetPluginInfo() const { return &m_PluginInfo; }

const PluginExtendedInfoStructTag* CFFGLPluginInfo::GetPluginExtendedInfo() const
{
    return &m_PluginExtendedInfo;
}

FPCREATEINSTANCEGL CFFGLPluginInfo::GetFactoryMethod() const { return m_pCreateInstance; }
