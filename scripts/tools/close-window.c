/* Asks an X window to close as its title bar's close button would: a
 * WM_DELETE_WINDOW message through WM_PROTOCOLS, which a window manager sends
 * on a click there. A bare Xvfb has no window manager, so scripts send it
 * themselves. Exit status: 0 sent, 1 no display or no such window, 2 usage.
 *
 *   close-window WINDOW-ID     (decimal or 0x hexadecimal, as xdotool prints) */
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>

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
        fprintf(stderr, "usage: close-window WINDOW-ID\n");
        return 2;
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
