#include <string>

#include "common/debug_log.h"
#include "common/path_text.h"
#include "common/win32_text.h"
#include "host/core/win32_adapters.h"

namespace pellarin {

namespace {

// One argument as the C runtime of the started program splits its command line again: in
// quotation marks, backslashes before a mark doubled.
std::wstring quoted(const std::wstring& argument) {
  std::wstring result = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    result.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    result += c;
  }
  result.append(backslashes * 2, L'\\');
  return result + L"\"";
}

// A job that ends its processes when its last handle closes: this process's, at its end.
HANDLE makeEndingJob() {
  const HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    ::CloseHandle(job);
    return nullptr;
  }
  return job;
}

BOOL CALLBACK askToClose(HWND window, LPARAM processId) {
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(processId)) ::PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

bool endsWithin(HANDLE process, std::chrono::milliseconds limit) {
  return ::WaitForSingleObject(process, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

}  // namespace

ProcessLauncherWin32::~ProcessLauncherWin32() {
  if (process_ != nullptr) ::CloseHandle(process_);
  // The last handle of the job: a process still in it ends now.
  if (job_ != nullptr) ::CloseHandle(job_);
}

bool ProcessLauncherWin32::start(const std::filesystem::path& program,
                                 const std::vector<std::string>& arguments) {
  std::wstring commandLine = quoted(program.wstring());
  for (const std::string& argument : arguments) commandLine += L" " + quoted(wideText(argument));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION started{};
  // Suspended until it is in the job, so that not even its first instant outlives a killed
  // host. The program file is named, so its name need not end in ".exe".
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &started)) {
    debugLog("host: cannot start %s: error %lu\n", pathText(program).c_str(), ::GetLastError());
    return false;
  }
  const HANDLE job = makeEndingJob();
  if (job == nullptr || !::AssignProcessToJobObject(job, started.hProcess)) {
    // A system that puts this host into a job of its own may refuse another one; the
    // renderer then runs, but would outlive a host that is killed.
    debugLog("host: the renderer does not end with the host: error %lu\n", ::GetLastError());
    if (job != nullptr) ::CloseHandle(job);
  } else {
    job_ = job;
  }
  ::ResumeThread(started.hThread);
  ::CloseHandle(started.hThread);
  process_ = started.hProcess;
  processId_ = started.dwProcessId;
  debugLog("host: started renderer %lu with %u arguments\n", processId_,
           static_cast<unsigned>(arguments.size()));
  return true;
}

bool ProcessLauncherWin32::startedProcessRunning() {
  return process_ != nullptr && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void ProcessLauncherWin32::endStartedProcess(std::chrono::milliseconds ownEnd,
                                             std::chrono::milliseconds asked) {
  if (!startedProcessRunning()) return;
  if (!endsWithin(process_, ownEnd)) {
    debugLog("host: asking renderer %lu to end\n", processId_);
    ::EnumWindows(askToClose, static_cast<LPARAM>(processId_));
    if (!endsWithin(process_, asked)) {
      debugLog("host: ending renderer %lu by force\n", processId_);
      ::TerminateProcess(process_, 1);
      ::WaitForSingleObject(process_, 5000);  // termination completes on its own; never hang
    }
  }
}

}  // namespace pellarin
