// Inline accessors of CFFGLPluginManager (input counts and the time flag).
#pragma once

inline void CFFGLPluginManager::SetMinInputs(int n) { m_iMinInputs = n; }
inline void CFFGLPluginManager::SetMaxInputs(int n) { m_iMaxInputs = n; }
inline int CFFGLPluginManager::GetMinInputs() const { return m_iMinInputs; }
inline int CFFGLPluginManager::GetMaxInputs() const { return m_iMaxInputs; }
inline void CFFGLPluginManager::SetTimeSupported(bool supported) { m_timeSupported = supported; }
inline bool CFFGLPluginManager::GetTimeSupported() const { return m_timeSupported; }
inline int CFFGLPluginManager::GetNumParams() const { return m_iNumParams; }
