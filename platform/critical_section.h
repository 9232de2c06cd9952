// The Win32 critical-section calls over std::mutex. A critical section may be entered again by
// the thread that holds it, so the nearest mutex is the recursive one.
#pragma once

#include <mutex>

struct CRITICAL_SECTION {
    std::recursive_mutex mutex;
};

inline void InitializeCriticalSection(CRITICAL_SECTION*) {}
inline void EnterCriticalSection(CRITICAL_SECTION* cs) { cs->mutex.lock(); }
inline void LeaveCriticalSection(CRITICAL_SECTION* cs) { cs->mutex.unlock(); }
inline void DeleteCriticalSection(CRITICAL_SECTION*) {}

// Enters on construction, leaves on destruction.
class CriticalSectionLock
{
  public:
    explicit CriticalSectionLock(CRITICAL_SECTION* cs) : m_cs(cs) { EnterCriticalSection(m_cs); }
    ~CriticalSectionLock() { LeaveCriticalSection(m_cs); }
    CriticalSectionLock(const CriticalSectionLock&)            = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  private:
    CRITICAL_SECTION* m_cs;
};
