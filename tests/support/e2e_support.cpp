#include "tests/support/e2e_support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <dirent.h>

#include <fstream>
#include <iterator>

extern char** environ;

namespace pellarin::testing {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Process::Process(const std::filesystem::path& program, std::vector<std::string> args,
                 const std::filesystem::path& stderrFile) {
  args.insert(args.begin(), program.string());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!stderrFile.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
  }
  if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_GT(pid_, 0) << program;
}

Process::~Process() {
  if (pid_ > 0 && !status_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

std::optional<int> Process::waitForExit(std::chrono::milliseconds limit) {
  waitUntil([&] { return exited(); }, limit);
  return status_;
}

bool Process::exited() {
  int status = 0;
  if (pid_ > 0 && !status_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return status_.has_value();
}

std::optional<int> runCommand(const std::filesystem::path& program,
                              const std::vector<std::string>& args, std::string* output,
                              std::chrono::milliseconds limit) {
  char name[] = "/tmp/pellarin-output-XXXXXX";
  const int file = ::mkstemp(name);
  if (file < 0) return std::nullopt;
  ::unlink(name);
  std::vector<std::string> all = args;
  all.insert(all.begin(), program.string());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, file, 1);
  posix_spawn_file_actions_adddup2(&actions, file, 2);
  pid_t pid = -1;
  const bool started =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  std::optional<int> result;
  if (started) {
    int status = 0;
    const bool ended = waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, limit);
    if (ended) {
      result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  if (output != nullptr) {
    output->clear();
    char buffer[4096];
    ::lseek(file, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(file, buffer, sizeof buffer)) > 0;) output->append(buffer, n);
  }
  ::close(file);
  return result;
}

CommandLine asOrdinaryUser(const std::vector<std::string>& variables,
                           const std::vector<std::string>& command) {
  // Tests that do not run as root already run as an ordinary user.
  CommandLine line{"/usr/bin/env", {}};
  if (::geteuid() == 0) line = {"/usr/sbin/runuser", {"-u", "nobody", "--", "/usr/bin/env"}};
  line.args.insert(line.args.end(), variables.begin(), variables.end());
  line.args.insert(line.args.end(), command.begin(), command.end());
  return line;
}

void makeOrdinaryUsersFolder(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0) << folder;
  }
}

VirtualXServer::VirtualXServer(const std::vector<std::string>& screens) {
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) return;
  // The server writes its display number to the descriptor it is given once it accepts
  // clients, so parallel tests never pick the same one.
  std::vector<std::string> args{"Xvfb",     "-displayfd", "3",   "-nolisten",  "tcp",
                                "-noreset", "+extension", "GLX", "+extension", "RANDR"};
  for (std::size_t i = 0; i < screens.size(); ++i) {
    args.insert(args.end(), {"-screen", std::to_string(i), screens[i]});
  }
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(ready[1]);
  std::string number;
  pollfd wait{ready[0], POLLIN, 0};
  char c = 0;
  while (pid_ > 0 && ::poll(&wait, 1, 20000) == 1 && ::read(ready[0], &c, 1) == 1 && c != '\n') {
    number += c;
  }
  ::close(ready[0]);
  if (!number.empty()) name_ = ":" + number;
  EXPECT_FALSE(name_.empty()) << "Xvfb did not start";
}

VirtualXServer::~VirtualXServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  if (!waitUntil([&] { return ::waitpid(pid_, nullptr, WNOHANG) == pid_; }, 10s)) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

Display* openDisplay() {
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  return XOpenDisplay(nullptr);
}

namespace {

std::string textProperty(Display* display, Window window, Atom property) {
  XTextProperty text{};
  if (XGetTextProperty(display, window, &text, property) == 0 || text.value == nullptr) return {};
  std::string value(reinterpret_cast<const char*>(text.value), text.nitems);
  XFree(text.value);
  return value;
}

}  // namespace

Window findWindow(Display* display, const std::string& title, bool viewable) {
  return findWindowFrom(display, DefaultRootWindow(display), title, viewable);
}

Window findWindowFrom(Display* display, Window top, const std::string& title, bool viewable) {
  const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  std::vector<Window> pending{top};
  while (!pending.empty()) {
    const Window window = pending.back();
    pending.pop_back();
    XWindowAttributes attributes{};
    const bool shown = XGetWindowAttributes(display, window, &attributes) != 0 &&
                       attributes.map_state == IsViewable;
    if ((shown || !viewable) && (textProperty(display, window, netWmName) == title ||
                                 textProperty(display, window, XA_WM_NAME) == title)) {
      return window;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &n) != 0 && children) {
      pending.insert(pending.end(), children, children + n);
      XFree(children);
    }
  }
  return 0;
}

Window waitForWindow(Display* display, const std::string& title, std::chrono::milliseconds limit,
                     bool viewable) {
  Window found = 0;
  waitUntil([&] { return (found = findWindow(display, title, viewable)) != 0; }, limit);
  return found;
}

void sendKey(Display* display, unsigned long keysym, bool down) {
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, keysym), down, 0);
  XSync(display, False);
}

void pressKey(Display* display, unsigned long keysym) {
  sendKey(display, keysym, true);
  sendKey(display, keysym, false);
}

void requestClose(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
}

std::vector<std::uint32_t> pixels(Display* display, Drawable drawable, int x, int y, int width,
                                  int height) {
  XImage* image = XGetImage(display, drawable, x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) return {};
  std::vector<std::uint32_t> values;
  values.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      values.push_back(static_cast<std::uint32_t>(XGetPixel(image, column, row) & 0xFFFFFF));
    }
  }
  XDestroyImage(image);
  return values;
}

std::uint32_t pixelAt(Display* display, Drawable drawable, int x, int y) {
  const std::vector<std::uint32_t> one = pixels(display, drawable, x, y, 1, 1);
  return one.empty() ? kNoPixel : one[0];
}

bool showsSomething(Display* display, Window window) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0) return false;
  for (std::uint32_t pixel : pixels(display, window, 0, 0, attributes.width, attributes.height)) {
    if (pixel != 0) return true;
  }
  return false;
}

bool pointerBlank(Display* display) {
  XFixesCursorImage* cursor = XFixesGetCursorImage(display);
  if (cursor == nullptr) return false;
  bool blank = true;
  for (int i = 0; i < cursor->width * cursor->height; ++i) blank &= cursor->pixels[i] >> 24 == 0;
  XFree(cursor);
  return blank;
}

std::optional<RgbImage> decodeJpeg(const std::string& bytes) {
  tjhandle decoder = tjInitDecompress();
  RgbImage out;
  int subsampling = 0, colourspace = 0;
  auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  bool ok = tjDecompressHeader3(decoder, data, bytes.size(), &out.width, &out.height, &subsampling,
                                &colourspace) == 0;
  if (ok) {
    out.rgb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 3);
    ok = tjDecompress2(decoder, data, bytes.size(), out.rgb.data(), out.width, 0, out.height,
                       TJPF_RGB, 0) == 0;
  }
  tjDestroy(decoder);
  if (!ok) return std::nullopt;
  return out;
}

std::vector<pid_t> runningProcessesIn(const std::filesystem::path& folder) {
  std::vector<pid_t> found;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return found;
  while (const dirent* entry = ::readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    const std::filesystem::path dir = std::filesystem::path("/proc") / entry->d_name;
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink(dir / "exe", error);
    if (error || exe.parent_path() != folder) continue;
    // "pid (name) S ...": the state follows the last parenthesis; a zombie has ended.
    const std::string stat = readFile(dir / "stat");
    const std::size_t close = stat.rfind(')');
    if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z') continue;
    found.push_back(static_cast<pid_t>(pid));
  }
  ::closedir(proc);
  return found;
}

}  // namespace pellarin::testing
