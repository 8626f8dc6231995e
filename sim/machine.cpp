// The simulated machine's state, fault injection, call log and accounting.
#include "sim/sim.h"

#include "trace/trace.h"

#include <algorithm>
#include <cstdarg>

namespace sim {

namespace {
Machine* gMachine = nullptr;
} // namespace

const size_t LargestBlock = size_t{64} << 20;

Machine& M() {
    if (gMachine == nullptr)
        Reset();
    return *gMachine;
}

void Reset() {
    if (gMachine != nullptr) {
        for (auto& [block, size] : gMachine->heap)
            std::free(const_cast<void*>(block));
        for (auto& [block, size] : gMachine->local)
            std::free(const_cast<void*>(block));
        delete gMachine;
    }
    gMachine = new Machine;
    AddDir(gMachine->systemDir);
    AddDir(ParentDir(gMachine->systemDir) + "\\INF");
}

void FailAt(const std::string& point, int occurrence, DWORD error) {
    M().faults.push_back({point, occurrence, error});
}

bool Injected(const std::string& point) {
    Machine& m = M();
    int seen = ++m.counts[point];
    for (const Fault& fault : m.faults) {
        if (fault.point == point && (fault.occurrence == 0 || fault.occurrence == seen)) {
            m.lastError = fault.error;
            return true;
        }
    }
    return false;
}

void Record(const std::string& name, std::vector<std::string> args) {
    M().calls.push_back({name, std::move(args)});
}

std::string Str(const char* text) {
    return text == nullptr ? "NULL" : std::string(text);
}
std::string Num(unsigned long long value) {
    return std::to_string(value);
}
std::string Ptr(const void* pointer) {
    return pointer == nullptr ? "NULL" : "ptr";
}

std::vector<Call> CallsTo(const std::string& name) {
    std::vector<Call> found;
    std::copy_if(M().calls.begin(), M().calls.end(), std::back_inserter(found),
                 [&](const Call& call) { return call.name == name; });
    return found;
}

HANDLE NewHandle(const std::string& kind) {
    HANDLE handle = reinterpret_cast<HANDLE>(M().nextHandle += 4);
    M().handles[handle] = kind;
    return handle;
}

bool CloseHandleOf(HANDLE handle, const std::string& kind) {
    auto it = M().handles.find(handle);
    if (it == M().handles.end() || it->second != kind) {
        M().misuse.push_back("close of unknown " + kind + " handle");
        return false;
    }
    M().handles.erase(it);
    return true;
}

std::vector<std::string> Messages() {
    const std::vector<std::string>& debug = M().debug;
    std::vector<std::string> messages;
    for (size_t i = 0; i < debug.size(); ++i) {
        if (debug[i] == TraceTag && i + 1 < debug.size()) {
            messages.push_back(debug[++i]);
        } else {
            messages.push_back("<untagged>" + debug[i]);
        }
    }
    return messages;
}

std::vector<std::string> Leaks() {
    std::vector<std::string> leaks = M().misuse;
    for (auto& [block, size] : M().heap)
        leaks.push_back("heap block of " + std::to_string(size) + " bytes");
    for (auto& [block, size] : M().local)
        leaks.push_back("LocalAlloc block of " + std::to_string(size) + " bytes");
    for (auto& [handle, kind] : M().handles)
        leaks.push_back("open " + kind + " handle");
    return leaks;
}

} // namespace sim

using namespace sim;

void* SimMalloc(std::size_t size) {
    if (Injected("malloc"))
        return nullptr;
    void* block = std::malloc(size == 0 ? 1 : size);
    // Garbage, as the run-time heap gives: code that relies on zeroed memory shows up.
    std::memset(block, 0xCD, size);
    M().heap[block] = size;
    return block;
}

void SimFree(void* block) {
    if (block == nullptr)
        return;
    if (M().heap.erase(block) == 0) {
        M().misuse.push_back("free of unknown block");
        return;
    }
    std::free(block);
}

int SimPrintf(const char* format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    M().out += buffer;
    Record("printf", {buffer});
    return length;
}

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
    M().debug.push_back(Str(lpOutputString));
    Record("OutputDebugStringA", {Str(lpOutputString)});
}

DWORD WINAPI GetLastError() {
    return M().lastError;
}
void WINAPI SetLastError(DWORD dwErrCode) {
    M().lastError = dwErrCode;
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    M().localSizes.push_back(uBytes);
    if (Injected("LocalAlloc"))
        return nullptr;
    // The simulated machine is small: a block the size a lying platform might ask for is refused.
    if (uBytes > LargestBlock) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* block = std::malloc(uBytes == 0 ? 1 : uBytes);
    std::memset(block, (uFlags & LMEM_ZEROINIT) ? 0 : 0xCD, uBytes);
    M().local[block] = uBytes;
    return block;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    if (hMem == nullptr)
        return nullptr;
    if (M().local.erase(hMem) == 0) {
        M().misuse.push_back("LocalFree of unknown block");
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    std::free(hMem);
    return nullptr;
}

int WINAPI lstrlenA(LPCSTR lpString) {
    return lpString == nullptr ? 0 : static_cast<int>(std::strlen(lpString));
}
