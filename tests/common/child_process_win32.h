#pragma once
// A Windows test program that plays a part as a child of itself: a test starts this same program
// with "--child=<role> <argument>", and the program's main (runTestsOrRole) runs that role
// instead of the tests. The Windows form of child_process.h's fork().

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>

namespace pellarin::testing {

using ChildRole = std::function<int(const std::string& argument)>;

class ChildProcess {
 public:
  // Starts this program in role with argument; nothing when it cannot. inheritHandles passes
  // every inheritable handle of this process on, as a careless program start would.
  static std::optional<ChildProcess> start(const std::string& role, const std::string& argument,
                                           bool inheritHandles = false) {
    wchar_t self[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    if (length == 0 || length == MAX_PATH * 4) return std::nullopt;
    std::wstring line = L"\"" + std::wstring(self) + L"\" --child=" +
                        std::filesystem::path(role).wstring() + L" \"" +
                        std::filesystem::path(argument).wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(self, line.data(), nullptr, nullptr, inheritHandles, 0, nullptr, nullptr,
                          &startup, &process)) {
      return std::nullopt;
    }
    ::CloseHandle(process.hThread);
    return ChildProcess(process.hProcess, process.dwProcessId);
  }
  ChildProcess(ChildProcess&& other) noexcept : process_(other.process_), id_(other.id_) {
    other.process_ = nullptr;
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() {
    if (process_ == nullptr) return;
    kill();
    ::CloseHandle(process_);
  }

  DWORD id() const { return id_; }
  // Lets it run on when this object goes.
  void detach() {
    ::CloseHandle(process_);
    process_ = nullptr;
  }
  // Ends it at once, as a crash or the task manager would, and waits until it is gone.
  void kill() {
    ::TerminateProcess(process_, 99);
    ::WaitForSingleObject(process_, 10000);
  }
  // Its exit code once it has ended by itself within the limit; nothing while it still runs.
  std::optional<DWORD> exitCode(std::chrono::milliseconds limit) const {
    DWORD code = 0;
    if (::WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process_, &code)) {
      return std::nullopt;
    }
    return code;
  }

 private:
  ChildProcess(HANDLE process, DWORD id) : process_(process), id_(id) {}
  HANDLE process_;
  DWORD id_;
};

// Ends a process that this one did not start, by its number.
inline void killProcess(DWORD id) {
  const HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
  if (process == nullptr) return;
  ::TerminateProcess(process, 99);
  ::WaitForSingleObject(process, 10000);
  ::CloseHandle(process);
}

// True once done() holds, within the limit.
template <typename Done>
bool within(std::chrono::milliseconds limit, Done done) {
  for (const auto end = std::chrono::steady_clock::now() + limit;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// The whole main of a test program with child roles.
inline int runTestsOrRole(int argc, char** argv, const std::map<std::string, ChildRole>& roles) {
  if (argc == 3 && std::string(argv[1]).starts_with("--child=")) {
    const auto role = roles.find(std::string(argv[1]).substr(8));
    return role == roles.end() ? 2 : role->second(argv[2]);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

}  // namespace pellarin::testing
