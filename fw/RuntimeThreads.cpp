// The few thread calls that the C++ runtime makes, answered by Windows itself.
//
// GCC's runtime, built for POSIX threads, guards static locals, its exception
// allocator and thread-local storage with pthread calls. Linked statically, its
// threads library would come along whole, and with it SuspendThread,
// GetThreadContext, SetThreadContext and OpenProcess in the import table: the
// calls antivirus heuristics take for a program that injects code. The program
// starts its one thread with CreateThread and locks with critical sections;
// these definitions, linked into vorlix.exe only, keep that library out.
//
// The types and their static initialisers are the threads library's own
// (pthread.h): a mutex or condition made by PTHREAD_..._INITIALIZER is made
// here on first use.
#include <errno.h>
#include <pthread.h>
#include <windows.h>

namespace {

// Whether a mutex or condition holds the object behind it yet: not while it
// holds a static initialiser (-1 to -3) or zeros.
bool IsMade(intptr_t value)
{
    return value < -3 || value > 0;
}

// The object behind a mutex or condition, made on first use; of two threads
// that make it at once, one's is kept.
template <class T>
T* Made(intptr_t* slot, void (*init)(T*))
{
    const intptr_t seen = *reinterpret_cast<volatile intptr_t*>(slot);
    if (IsMade(seen))
        return reinterpret_cast<T*>(seen);
    T* made = static_cast<T*>(HeapAlloc(GetProcessHeap(), 0, sizeof(T)));
    if (!made)
        ExitProcess(ERROR_NOT_ENOUGH_MEMORY);
    init(made);
    const auto kept = static_cast<T*>(InterlockedCompareExchangePointer(
        reinterpret_cast<void* volatile*>(slot), made, reinterpret_cast<void*>(seen)));
    if (kept == reinterpret_cast<T*>(seen))
        return made;
    HeapFree(GetProcessHeap(), 0, made);  // another thread's came first
    return kept;
}

CRITICAL_SECTION* Section(pthread_mutex_t* mutex)
{
    return Made<CRITICAL_SECTION>(mutex, [](CRITICAL_SECTION* section) { InitializeCriticalSection(section); });
}

CONDITION_VARIABLE* Condition(pthread_cond_t* cond)
{
    return Made<CONDITION_VARIABLE>(cond, [](CONDITION_VARIABLE* c) { InitializeConditionVariable(c); });
}

// A key's destructor runs when a thread ends with a value in it (fiber-local
// storage calls back with the value alone, so each key has its own callback).
constexpr LONG kKeys = 4;
void (*g_destructors[kKeys])(void*);
LONG g_nKeys = 0;
template <int N>
void WINAPI Destroy(void* value)
{
    if (value && g_destructors[N])
        g_destructors[N](value);
}
const PFLS_CALLBACK_FUNCTION kDestroy[kKeys] = { Destroy<0>, Destroy<1>, Destroy<2>, Destroy<3> };

}  // namespace

extern "C" {

int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t*)
{
    *mutex = PTHREAD_MUTEX_INITIALIZER;
    return 0;
}

int pthread_mutex_destroy(pthread_mutex_t* mutex)
{
    if (IsMade(*mutex)) {
        DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(*mutex));
        HeapFree(GetProcessHeap(), 0, reinterpret_cast<void*>(*mutex));
    }
    *mutex = PTHREAD_MUTEX_INITIALIZER;
    return 0;
}

int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    EnterCriticalSection(Section(mutex));
    return 0;
}

int pthread_mutex_unlock(pthread_mutex_t* mutex)
{
    LeaveCriticalSection(Section(mutex));
    return 0;
}

int pthread_cond_wait(pthread_cond_t* cond, pthread_mutex_t* mutex)
{
    return SleepConditionVariableCS(Condition(cond), Section(mutex), INFINITE) ? 0 : EINVAL;
}

int pthread_cond_broadcast(pthread_cond_t* cond)
{
    WakeAllConditionVariable(Condition(cond));
    return 0;
}

// 0: not run, 1: running, 2: done.
int pthread_once(pthread_once_t* once, void (*function)(void))
{
    if (InterlockedCompareExchange(once, 1, 0) == 0) {
        function();
        InterlockedExchange(once, 2);
    }
    while (InterlockedCompareExchange(once, 2, 2) != 2)
        SwitchToThread();
    return 0;
}

int pthread_key_create(pthread_key_t* key, void (*destructor)(void*))
{
    const LONG n = InterlockedIncrement(&g_nKeys) - 1;
    if (n >= kKeys)
        return EAGAIN;
    g_destructors[n] = destructor;
    const DWORD index = FlsAlloc(kDestroy[n]);
    if (index == FLS_OUT_OF_INDEXES)
        return EAGAIN;
    *key = index;
    return 0;
}

void* pthread_getspecific(pthread_key_t key)
{
    return FlsGetValue(key);
}

int pthread_setspecific(pthread_key_t key, const void* value)
{
    return FlsSetValue(key, const_cast<void*>(value)) ? 0 : ENOMEM;
}

}  // extern "C"
