// Child processes on Windows: CreateProcessW with the command line quoted as
// the C run-time splits it, a whole environment block, and standard output
// and error in files of the scratch directory.
#include <windows.h>

#include <io.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "Process.h"
#include "TestHost.h"

namespace testhost {
namespace {

std::wstring wide(const std::string& text) {
    std::wstring out(static_cast<size_t>(::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0)), L'\0');
    if (!out.empty()) {
        ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()));
        out.pop_back();
    }
    return out;
}

// Backslashes double only in front of a quote, as the run-time reads them.
std::wstring quoted(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(2 * slashes, L'\\');
    return out + L"\"";
}

// This process's variables with `env`'s entries in place of their own.
std::wstring environmentBlock(const std::vector<std::string>& env) {
    std::vector<std::wstring> vars;
    for (const std::string& v : env) vars.push_back(wide(v));
    wchar_t* own = ::GetEnvironmentStringsW();
    for (const wchar_t* e = own; e != nullptr && *e != L'\0'; e += wcslen(e) + 1) {
        const std::wstring var = e;
        const size_t name = var.find(L'=', 1) + 1;
        const auto sameName = [&](const std::wstring& mine) {
            return _wcsnicmp(mine.c_str(), var.c_str(), name) == 0;
        };
        if (std::none_of(vars.begin(), vars.begin() + static_cast<std::ptrdiff_t>(env.size()), sameName))
            vars.push_back(var);
    }
    if (own != nullptr) ::FreeEnvironmentStringsW(own);
    std::wstring block;
    for (const std::wstring& v : vars) block += v + L'\0';
    return block + L'\0';
}

HANDLE openOutput(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A handle the child alone inherits: the caller's own stays uninheritable,
// as close-on-exec keeps it.
HANDLE inheritableCopy(HANDLE handle) {
    HANDLE copy = INVALID_HANDLE_VALUE;
    ::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS);
    return copy;
}

// The children started and not yet waited for, by process id.
std::mutex gMutex;
std::map<pid_t, HANDLE> gChildren;

}  // namespace

pid_t spawnProcess(const std::vector<std::string>& argv, const std::string& tag,
                   const std::vector<std::string>& env, int stdoutFd) {
    std::wstring line;
    for (const std::string& a : argv) line += (line.empty() ? L"" : L" ") + quoted(wide(a));
    std::wstring block = environmentBlock(env);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE in = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE out = stdoutFd >= 0 ? inheritableCopy(reinterpret_cast<HANDLE>(_get_osfhandle(stdoutFd)))
                               : openOutput(processOutputFile(tag, ".out"));
    HANDLE err = openOutput(processOutputFile(tag, ".err"));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION child{};
    const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                          block.data(), nullptr, &startup, &child);
    for (HANDLE h : {in, out, err}) ::CloseHandle(h);
    if (!started) return -1;
    ::CloseHandle(child.hThread);
    const auto id = static_cast<pid_t>(child.dwProcessId);
    std::lock_guard lock(gMutex);
    gChildren[id] = child.hProcess;
    return id;
}

ProcessResult finishProcess(pid_t child, const std::string& tag) {
    HANDLE process = nullptr;
    {
        std::lock_guard lock(gMutex);
        if (auto it = gChildren.find(child); it != gChildren.end()) {
            process = it->second;
            gChildren.erase(it);
        }
    }
    DWORD code = 0;
    const bool ended = process != nullptr && ::WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
                       ::GetExitCodeProcess(process, &code);
    if (process != nullptr) ::CloseHandle(process);
    return readProcessOutput(ended ? static_cast<int>(code) : -1, tag);
}

}  // namespace testhost
