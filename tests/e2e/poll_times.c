/* Preloaded into the program by the end-to-end scripts (LD_PRELOAD) to time its event checks:
 * every SDL_PollEvent and SDL_GL_SwapWindow call appends a line "poll MS" or "swap MS" (MS the
 * wall clock in milliseconds, as bash's EPOCHREALTIME reads it) to the file VELMO_E2E_POLLS
 * names, then does what the call does; a program that exits appends "end MS". The program looks for
 * a quit between its loading steps, so the longest time between two checks is its longest loading
 * step.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

/* Appends one line, in one write: the program's other threads never cut into it. */
static void note(const char* what) {
    static int fd = -2;
    if (fd == -2) {
        const char* path = getenv("VELMO_E2E_POLLS");
        fd = path != NULL ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }
    if (fd < 0) {
        return;
    }
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    char line[64];
    int length = snprintf(line, sizeof(line), "%s %lld\n", what,
                          (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000);
    if (write(fd, line, (size_t)length) != length) {
        fd = -1;
    }
}

/* The library's own function of that name, found past this one. */
static void* next(const char* name) {
    void* function = dlsym(RTLD_NEXT, name);
    if (function == NULL) {
        fprintf(stderr, "poll_times: no %s to pass on to\n", name);
        abort();
    }
    return function;
}

int SDL_PollEvent(void* event) {
    static int (*poll)(void*);
    if (poll == NULL) {
        poll = (int (*)(void*))next("SDL_PollEvent");
    }
    note("poll");
    return poll(event);
}

void SDL_GL_SwapWindow(void* window) {
    static void (*swap)(void*);
    if (swap == NULL) {
        swap = (void (*)(void*))next("SDL_GL_SwapWindow");
    }
    swap(window);
    note("swap");
}

__attribute__((destructor)) static void finished(void) {
    note("end");
}
