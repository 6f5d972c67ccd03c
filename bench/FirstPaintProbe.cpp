// Starts a program and watches the X display from the outside: when its
// window is mapped, when the first pixels of it are drawn, and when every
// pixel of it has been drawn at least once (the first complete paint). Then
// it lets the program run a while longer, closes its window as the close
// button would (WM_DELETE_WINDOW), and reports the program's peak resident
// memory from the kernel's accounting of the ended process.
//
// Drawing is seen through the X DAMAGE extension on the root window, which
// reports every rectangle drawn anywhere on the screen; only rectangles
// inside the program's window count. The window counts as painted when, since
// it last moved or changed size, rectangles covering all of it have been
// drawn and it shows more than one colour: when a window that was never
// painted moves into place, the server copies its empty contents along,
// which covers it too, in one colour.
//
// Usage: FirstPaintProbe [--title PREFIX] [--settle-ms N] [--timeout-ms N] -- program [args]
// Prints one line:
//   mapped_ms=... first_damage_ms=... painted_ms=... colours=... peak_rss_kib=... cpu_ms=...
//   exit=...
// with the times from the fork: the window mapped, the first drawing inside
// it, its first complete paint; the number of different colours on a grid of
// samples of the window at that moment; the peak resident memory; the
// processor time the program used over the whole run (user and system: what
// the machine's load does not stretch); the program's exit status. Exits 1
// when the window is not completely painted in time. Run it on an X server
// without a window manager (Xvfb): a window manager's frame would stand
// between the root and the window.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool titleStartsWith(Display* display, Window window, const std::string& prefix)
{
    // The name's bytes as they are (the editor's is UTF8_STRING, which
    // XFetchName does not return).
    XTextProperty name{};
    if (XGetWMName(display, window, &name) == 0 || name.value == nullptr)
        return false;
    const bool match =
        name.nitems >= prefix.size() && std::memcmp(name.value, prefix.data(), prefix.size()) == 0;
    XFree(name.value);
    return match;
}

void closeWindow(Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

// Different colours among the pixels of the window on a 16-pixel grid.
int coloursOf(Display* display, Window window, const XRectangle& bounds)
{
    XImage* image =
        XGetImage(display, window, 0, 0, bounds.width, bounds.height, AllPlanes, ZPixmap);
    if (image == nullptr)
        return 0;
    std::vector<unsigned long> seen;
    for (int y = 0; y < bounds.height; y += 16)
        for (int x = 0; x < bounds.width; x += 16)
        {
            const unsigned long pixel = XGetPixel(image, x, y);
            if (std::find(seen.begin(), seen.end(), pixel) == seen.end())
                seen.push_back(pixel);
        }
    XDestroyImage(image);
    return static_cast<int>(seen.size());
}

int ignoreXErrors(Display*, XErrorEvent*)
{
    return 0; // a window gone between its event and our question about it
}

void usage()
{
    std::fprintf(stderr, "usage: FirstPaintProbe [--title PREFIX] [--settle-ms N] "
                         "[--timeout-ms N] -- program [args]\n");
}

} // namespace

int main(int argc, char** argv)
{
    std::string title = "Kestra Editor";
    int settleMs = 1000;
    int timeoutMs = 20000;
    int first = 1;
    for (; first < argc; ++first)
    {
        const std::string option = argv[first];
        if (option == "--")
        {
            ++first;
            break;
        }
        if (first + 1 >= argc)
        {
            usage();
            return 2;
        }
        if (option == "--title")
            title = argv[++first];
        else if (option == "--settle-ms")
            settleMs = std::atoi(argv[++first]);
        else if (option == "--timeout-ms")
            timeoutMs = std::atoi(argv[++first]);
        else
        {
            usage();
            return 2;
        }
    }
    if (first >= argc)
    {
        usage();
        return 2;
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
    {
        std::fprintf(stderr, "FirstPaintProbe: cannot open the display\n");
        return 2;
    }
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError))
    {
        std::fprintf(stderr, "FirstPaintProbe: the display has no DAMAGE extension\n");
        return 2;
    }
    XSetErrorHandler(ignoreXErrors);
    // JUCE takes the window-manager atoms only if they exist when it starts, and
    // on a bare X server without a window manager nobody has made them yet:
    // without them its window would not take WM_DELETE_WINDOW.
    XInternAtom(display, "WM_PROTOCOLS", False);
    XInternAtom(display, "WM_DELETE_WINDOW", False);
    XInternAtom(display, "WM_TAKE_FOCUS", False);
    XInternAtom(display, "_NET_WM_PING", False);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    const Damage damage = XDamageCreate(display, root, XDamageReportRawRectangles);
    XSync(display, False);

    const auto start = Clock::now();
    const pid_t child = fork();
    if (child < 0)
    {
        std::perror("fork");
        return 2;
    }
    if (child == 0)
    {
        close(ConnectionNumber(display));
        execvp(argv[first], argv + first);
        std::perror("execvp");
        _exit(127);
    }

    Window window = 0;
    XRectangle bounds{};
    Region drawn = XCreateRegion();
    double mappedMs = -1, firstDamageMs = -1, paintedMs = -1;
    int colours = 0;
    bool exited = false;
    int status = 0;
    rusage usage{};

    auto handleEvents = [&]
    {
        while (XPending(display) > 0)
        {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && window == 0 &&
                titleStartsWith(display, event.xmap.window, title))
            {
                Window rootReturn;
                int x, y;
                unsigned width, height, border, depth;
                if (XGetGeometry(display, event.xmap.window, &rootReturn, &x, &y, &width, &height,
                                 &border, &depth))
                {
                    window = event.xmap.window;
                    mappedMs = millisecondsSince(start);
                    bounds = {static_cast<short>(x), static_cast<short>(y),
                              static_cast<unsigned short>(width),
                              static_cast<unsigned short>(height)};
                }
            }
            else if (event.type == ConfigureNotify && event.xconfigure.window == window &&
                     window != 0)
            {
                // Moved or resized: what the server copies along is no paint of
                // the program's, and the area to cover is the new one.
                bounds = {static_cast<short>(event.xconfigure.x),
                          static_cast<short>(event.xconfigure.y),
                          static_cast<unsigned short>(event.xconfigure.width),
                          static_cast<unsigned short>(event.xconfigure.height)};
                XDestroyRegion(drawn);
                drawn = XCreateRegion();
            }
            else if (event.type == damageEvent + XDamageNotify && window != 0 && paintedMs < 0)
            {
                const double now = millisecondsSince(start);
                const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
                Region area = XCreateRegion();
                Region inside = XCreateRegion();
                Region windowRegion = XCreateRegion();
                XRectangle rect = notify.area;
                XUnionRectWithRegion(&rect, area, area);
                XUnionRectWithRegion(&bounds, windowRegion, windowRegion);
                XIntersectRegion(area, windowRegion, inside);
                if (!XEmptyRegion(inside))
                {
                    XUnionRegion(drawn, inside, drawn);
                    if (XRectInRegion(drawn, bounds.x, bounds.y, bounds.width, bounds.height) ==
                        RectangleIn)
                    {
                        // Covered. The server's copy of a window that was never
                        // painted (when it moves to its place) covers it too, in
                        // one colour: only a window with a picture in it counts.
                        colours = coloursOf(display, window, bounds);
                        if (colours > 1)
                            paintedMs = now;
                        else
                        {
                            XDestroyRegion(drawn);
                            drawn = XCreateRegion();
                        }
                    }
                    if (firstDamageMs < 0)
                        firstDamageMs = now;
                }
                XDestroyRegion(area);
                XDestroyRegion(inside);
                XDestroyRegion(windowRegion);
            }
        }
    };

    auto waitFor = [&](const auto& done, double limitMs)
    {
        const auto from = Clock::now();
        while (!done() && !exited && millisecondsSince(from) < limitMs)
        {
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, 2);
            handleEvents();
            if (wait4(child, &status, WNOHANG, &usage) == child)
                exited = true;
        }
        handleEvents();
    };

    waitFor([&] { return paintedMs >= 0; }, timeoutMs);
    waitFor([] { return false; }, settleMs); // the program settles; its peak memory with it

    if (!exited && window != 0)
        closeWindow(display, window);
    const auto closing = Clock::now();
    while (!exited)
    {
        if (wait4(child, &status, WNOHANG, &usage) == child)
            exited = true;
        else if (millisecondsSince(closing) > 5000)
        {
            kill(child, SIGKILL);
            wait4(child, &status, 0, &usage);
            exited = true;
        }
        else
        {
            handleEvents();
            usleep(2000);
        }
    }

    XDamageDestroy(display, damage);
    XDestroyRegion(drawn);
    XCloseDisplay(display);

    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const auto cpuMs = [](const timeval& t)
    { return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0; };
    std::printf("mapped_ms=%.1f first_damage_ms=%.1f painted_ms=%.1f colours=%d "
                "peak_rss_kib=%ld cpu_ms=%.1f exit=%d\n",
                mappedMs, firstDamageMs, paintedMs, colours, usage.ru_maxrss,
                cpuMs(usage.ru_utime) + cpuMs(usage.ru_stime), exitCode);
    return paintedMs >= 0 ? 0 : 1;
}
