/* Asks an X window to close as its title bar's close button would: a
 * WM_DELETE_WINDOW message through WM_PROTOCOLS, which a window manager sends
 * on a click there. A bare Xvfb has no window manager, so scripts send it
 * themselves. Exit status: 0 sent, 1 no display or no such window, 2 usage.
 *
 *   close-window WINDOW-ID     (decimal or 0x hexadecimal, as xdotool prints)
 *   close-window --prepare     creates the protocol's atoms on the display
 *
 * JUCE looks the atoms up when it starts and does not create them; on a bare
 * display that nothing has created them on, its windows then announce no
 * WM_DELETE_WINDOW and ignore the request. A window manager creates them; here
 * "--prepare", run once before the program starts, does. */
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failed = 0;

static int onError(Display* display, XErrorEvent* error)
{
    (void)display;
    (void)error;
    failed = 1; /* the window went away meanwhile */
    return 0;
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        fprintf(stderr, "usage: close-window WINDOW-ID | --prepare\n");
        return 2;
    }
    if (strcmp(argv[1], "--prepare") == 0)
    {
        Display* display = XOpenDisplay(NULL);
        if (display == NULL)
            return 1;
        const char* names[] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_TAKE_FOCUS", "_NET_WM_PING"};
        for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i)
            XInternAtom(display, names[i], False);
        XSync(display, False);
        XCloseDisplay(display);
        return 0;
    }
    char* end = NULL;
    const unsigned long id = strtoul(argv[1], &end, 0);
    if (end == argv[1] || *end != '\0' || id == 0)
    {
        fprintf(stderr, "close-window: not a window id: %s\n", argv[1]);
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL)
        return 1;
    XSetErrorHandler(onError);

    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = (Window)id;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, (Window)id, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return failed;
}
