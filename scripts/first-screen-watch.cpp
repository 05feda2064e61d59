// Times a program from its start to its first screen: starts the command on the X display,
// samples the whole screen every few milliseconds (a hash per scan line), and, once the screen
// has not changed for the settle time, answers the first moment from which the screen stayed
// what it finally shows (but for a few lines, such as a status bar's text).
//
//   first-screen-watch SECONDS_MAX -- command args...
// Prints "first_screen_s=<seconds>" (or "first_screen_s=none").

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Frame {
    double At;                      // seconds since the start
    std::vector<uint64_t> Lines;    // a hash of each scan line
};

uint64_t Hash(const char* p, size_t n)
{
    uint64_t h = 1469598103934665603ull;
    const uint64_t* w = reinterpret_cast<const uint64_t*>(p);
    for (size_t i = 0; i < n / 8; ++i) h = (h ^ w[i]) * 1099511628211ull;
    return h;
}

size_t Differing(const Frame& a, const Frame& b)
{
    size_t n = 0;
    for (size_t i = 0; i < a.Lines.size(); ++i) n += a.Lines[i] != b.Lines[i];
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || std::strcmp(argv[2], "--") != 0) {
        std::fprintf(stderr, "usage: %s SECONDS_MAX -- command args...\n", argv[0]);
        return 2;
    }
    const double maxSeconds = std::atof(argv[1]);
    const double settle = 1.5;          // unchanged this long: the screen is final
    const double tolerance = 0.03;      // lines that may still differ (status texts)
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attrs;
    XGetWindowAttributes(display, root, &attrs);
    auto grab = [&](double at) {
        XImage* image = XGetImage(display, root, 0, 0, unsigned(attrs.width), unsigned(attrs.height), AllPlanes, ZPixmap);
        Frame f{at, {}};
        f.Lines.reserve(size_t(attrs.height));
        for (int y = 0; y < attrs.height; ++y)
            f.Lines.push_back(Hash(image->data + size_t(y) * size_t(image->bytes_per_line), size_t(image->bytes_per_line)));
        XDestroyImage(image);
        return f;
    };
    std::vector<Frame> frames;
    frames.push_back(grab(0));
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[3], argv + 3);
        _exit(127);
    }
    auto now = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    double lastChange = 0;
    while (now() < maxSeconds) {
        Frame f = grab(now());
        if (Differing(f, frames.back()) > 0) {
            lastChange = f.At;
            frames.push_back(std::move(f));
        } else if (f.At - lastChange > settle && frames.size() > 1) {
            break;
        }
        usleep(5000);
    }
    kill(child, SIGTERM);
    usleep(200000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    const Frame& last = frames.back();
    const size_t allowed = size_t(double(last.Lines.size()) * tolerance);
    // The first frame from which every later frame stays close to the final one.
    size_t first = frames.size() - 1;
    while (first > 1 && Differing(frames[first - 1], last) <= allowed) --first;
    if (frames.size() < 2) {
        std::printf("first_screen_s=none\n");
        return 1;
    }
    // FIRST_SCREEN_FRAMES=1: every change seen, with how many lines still differ from the end.
    if (std::getenv("FIRST_SCREEN_FRAMES"))
        for (const Frame& f : frames) std::fprintf(stderr, "frame %.3f differing %zu\n", f.At, Differing(f, last));
    std::printf("first_screen_s=%.3f frames=%zu\n", frames[first].At, frames.size());
    return 0;
}
