// Times the program from outside, as a user sees it, on the X server of $DISPLAY (an Xvfb started with a
// black root, see bench/bench_startup.sh):
// - start-up: from the launch until the window is mapped and painted (its pixels have left the black root),
//   the program and the plain window alternately, with the program's resident memory at that moment;
// - a study page: signs in as the benchmark's pupil, opens the study materials window, waits, clicks
//   "2.2 Ключи" and times the click until the page's text is painted in the browser area.
// Usage: startup_driver PROGRAM PLAIN_WINDOW WORKING_DIR RUNS
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string summary(const std::vector<double>& values, const char* unit) {
    char text[128];
    std::snprintf(text, sizeof text, "%7.1f %s (%.1f to %.1f)", median(values), unit,
                  *std::min_element(values.begin(), values.end()),
                  *std::max_element(values.begin(), values.end()));
    return text;
}

struct Point {
    int x;
    int y;
};

// A window may go away between its notice and a look at it; that look then finds nothing.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

class Desktop {
public:
    Desktop() : m_display(XOpenDisplay(nullptr)) {
        if (!m_display)
            throw std::runtime_error("cannot open the X display");
        int event = 0, error = 0, major = 0, minor = 0;
        if (!XTestQueryExtension(m_display, &event, &error, &major, &minor))
            throw std::runtime_error("the X server has no XTEST extension");
        XSetErrorHandler(ignoreErrors);
        XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask);
        XSync(m_display, False);
    }
    ~Desktop() { XCloseDisplay(m_display); }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Drops the notices of earlier runs.
    void forget() {
        XSync(m_display, False);
        while (XPending(m_display)) {
            XEvent e;
            XNextEvent(m_display, &e);
        }
    }

    // The next top-level window mapped whose width is `width` and height at least `minHeight`.
    Window waitForMapped(int width, int minHeight, Clock::time_point deadline) {
        for (;;) {
            while (XPending(m_display)) {
                XEvent e;
                XNextEvent(m_display, &e);
                if (e.type != MapNotify || e.xmap.event != DefaultRootWindow(m_display))
                    continue;
                XWindowAttributes a;
                if (XGetWindowAttributes(m_display, e.xmap.window, &a) && a.width == width &&
                    a.height >= minHeight && a.map_state == IsViewable)
                    return e.xmap.window;
            }
            if (Clock::now() > deadline)
                throw std::runtime_error("no window was mapped in time");
            pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
            poll(&fd, 1, 5);
        }
    }

    enum class Painted {
        NotBlack,  // the window's pixels have left the black root
        Settled,   // one colour that is not black: an empty area fully painted
        StudyPage, // the study page's background and its heading's purple are both there
    };
    // Waits until an area of the screen has been painted. The screen is looked at, not the window: a window
    // may be replaced by a new one on the way (Qt does so when a window takes its first OpenGL child, such
    // as the browser's view).
    void waitForPainted(Point at, int w, int h, Painted test, Clock::time_point deadline) {
        for (;;) {
            if (isPainted(at, w, h, test))
                return;
            if (Clock::now() > deadline)
                throw std::runtime_error("an area at " + std::to_string(at.x) + "," + std::to_string(at.y) +
                                         " of " + std::to_string(w) + "x" + std::to_string(h) +
                                         " was not painted in time");
            sleepMs(1);
        }
    }

    Point origin(Window window) {
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child);
        return {x, y};
    }
    int height(Window window) {
        XWindowAttributes a;
        XGetWindowAttributes(m_display, window, &a);
        return a.height;
    }

    void click(int x, int y) {
        XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
        XSync(m_display, False);
    }
    // Lower-case Latin letters only.
    void type(const std::string& text) {
        for (const char c : text) {
            const KeyCode code = XKeysymToKeycode(m_display, static_cast<KeySym>(c));
            XTestFakeKeyEvent(m_display, code, True, CurrentTime);
            XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        }
        XSync(m_display, False);
    }

private:
    bool isPainted(Point at, int w, int h, Painted test) {
        XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), at.x, at.y,
                                  static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
        if (!image)
            return false;
        const unsigned long first = XGetPixel(image, 0, 0) & 0xffffff;
        bool black = false, other = false, pageBackground = false, heading = false;
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col) {
                const unsigned long pixel = XGetPixel(image, col, row) & 0xffffff;
                black |= pixel == 0;
                other |= pixel != first;
                pageBackground |= pixel == 0xfdfbf6;
                heading |= pixel == 0x800080;
            }
        XDestroyImage(image);
        switch (test) {
        case Painted::NotBlack:
            return other || first != 0;
        case Painted::Settled:
            return !other && !black;
        case Painted::StudyPage:
            return pageBackground && heading;
        }
        return false;
    }

    Display* m_display;
};

struct Launched {
    pid_t pid = 0;
    Window window = 0;
    double onScreenMs = 0;
    long rssKb = 0;
};

// Starts `program` in `dir` and waits for its first window of `width` x `height` to be painted.
Launched launch(Desktop& screen, const std::string& program, const std::string& dir, int width, int height) {
    screen.forget();
    Launched run;
    const Clock::time_point start = Clock::now();
    run.pid = fork();
    if (run.pid == 0) {
        // A process group of its own, so that the browser's helper processes go with it.
        setpgid(0, 0);
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const Clock::time_point deadline = start + std::chrono::seconds(60);
    run.window = screen.waitForMapped(width, height, deadline);
    screen.waitForPainted(screen.origin(run.window), width, height, Desktop::Painted::NotBlack, deadline);
    run.onScreenMs = msSince(start);
    run.rssKb = residentKb(run.pid);
    return run;
}

void end(const Launched& run) {
    kill(-run.pid, SIGKILL);
    int status = 0;
    waitpid(run.pid, &status, 0);
    // Let the server forget the windows before the next launch.
    sleepMs(100);
}

struct StudyTimes {
    double openingMs; // from the click on the study materials button until the empty browser area is painted
    double pageMs;    // from the click on "2.2 Ключи" until the page's text is painted
};

// Signs in as the benchmark's pupil, opens the study materials window and clicks "2.2 Ключи" `delayMs` after
// the window was painted.
StudyTimes studyPage(Desktop& screen, const std::string& program, const std::string& dir, int delayMs) {
    const Launched run = launch(screen, program, dir, 442, 299);
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    const auto [sx, sy] = screen.origin(run.window);
    screen.click(sx + 212, sy + 69); // the surname box
    screen.type("bench");
    screen.click(sx + 212, sy + 141); // the password box
    screen.type("bench");
    screen.click(sx + 228, sy + 212); // "Войти"
    const Window main = screen.waitForMapped(652, 583, deadline);
    const auto [mx, my] = screen.origin(main);
    screen.waitForPainted({mx, my}, 652, 583, Desktop::Painted::NotBlack, deadline);
    const Clock::time_point opening = Clock::now();
    screen.click(mx + 108, my + 188); // the study materials button
    const Window materials = screen.waitForMapped(1171, 631, deadline);
    const int menu = screen.height(materials) - 631;
    const auto [wx, wy] = screen.origin(materials);
    // Opened: the browser area is painted empty.
    screen.waitForPainted({wx + 337, wy + menu}, 834, 631, Desktop::Painted::Settled, deadline);
    const Clock::time_point opened = Clock::now();
    const double openingMs = std::chrono::duration<double, std::milli>(opened - opening).count();
    std::this_thread::sleep_until(opened + std::chrono::milliseconds(delayMs));
    const Clock::time_point clicked = Clock::now();
    screen.click(wx + 92, wy + menu + 258); // "2.2 Ключи"
    // The page's heading stands in the top of the browser area.
    screen.waitForPainted({wx + 337, wy + menu}, 834, 200, Desktop::Painted::StudyPage, deadline);
    const double pageMs = msSince(clicked);
    end(run);
    return {openingMs, pageMs};
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s PROGRAM PLAIN_WINDOW WORKING_DIR RUNS\n", argv[0]);
        return 2;
    }
    const std::string program = argv[1], plain = argv[2], dir = argv[3];
    const int runs = std::max(1, std::atoi(argv[4]));
    try {
        Desktop screen;
        // A warm-up of each, not counted: the libraries and files are in the page cache afterwards.
        end(launch(screen, program, dir, 442, 299));
        end(launch(screen, plain, dir, 442, 299));
        std::vector<double> programMs, plainMs, programMb, plainMb;
        for (int i = 0; i < runs; ++i) {
            const Launched p = launch(screen, program, dir, 442, 299);
            end(p);
            const Launched q = launch(screen, plain, dir, 442, 299);
            end(q);
            programMs.push_back(p.onScreenMs);
            programMb.push_back(static_cast<double>(p.rssKb) / 1024.0);
            plainMs.push_back(q.onScreenMs);
            plainMb.push_back(static_cast<double>(q.rssKb) / 1024.0);
        }
        std::printf("Start-up, %d runs each after a warm-up: median (least to most)\n", runs);
        std::printf("  plain window on screen     %s, resident %s\n", summary(plainMs, "ms").c_str(),
                    summary(plainMb, "MB").c_str());
        std::printf("  sign-in window on screen   %s, resident %s\n", summary(programMs, "ms").c_str(),
                    summary(programMb, "MB").c_str());
        std::printf("  ratio of the medians       %.2f\n", median(programMs) / median(plainMs));
        std::fflush(stdout);

        std::vector<double> atOnce, afterASecond, opening;
        for (int i = 0; i < runs; ++i) {
            const StudyTimes first = studyPage(screen, program, dir, 0);
            const StudyTimes later = studyPage(screen, program, dir, 1000);
            atOnce.push_back(first.pageMs);
            afterASecond.push_back(later.pageMs);
            opening.push_back(first.openingMs);
            opening.push_back(later.openingMs);
        }
        std::printf("Study page \"2.2 Ключи\", from the click until its text is painted, %d runs each\n",
                    runs);
        std::printf("  click at once when the window is on screen   %s\n", summary(atOnce, "ms").c_str());
        std::printf("  click 1 s after the window is on screen      %s\n",
                    summary(afterASecond, "ms").c_str());
        std::printf("  the window's opening, from the click on its button until the empty browser area is "
                    "painted, %d runs\n    %s\n",
                    2 * runs, summary(opening, "ms").c_str());
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "startup_driver: %s\n", failure.what());
        return 1;
    }
    return 0;
}
