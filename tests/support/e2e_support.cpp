#include "tests/support/e2e_support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <turbojpeg.h>

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
