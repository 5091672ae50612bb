// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into a window program by bench_first_paint (LD_PRELOAD): notes when the program's
// first window has painted once, with the processor time used by then, and the shared objects
// loaded by then, writes them to the file $BRENVIK_FIRST_PAINT and ends the program at once.
// Qt runs the function below when the program makes its application object; the program itself
// is not changed.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <link.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

long long nanoseconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

bool isProbe(const char* name) {
    const char* slash = std::strrchr(name, '/');
    return std::strstr(slash ? slash + 1 : name, "first-paint-probe") != nullptr;
}

// Line 1: processor nanoseconds of the process (every thread), the monotonic clock's nanoseconds,
// the number of shared objects loaded (the program and every library, this probe and the kernel's
// virtual one left out); then their names.
[[noreturn]] void report() {
    const long long cpu = nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
    const long long now = nanoseconds(CLOCK_MONOTONIC);
    std::vector<std::string> loaded;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* list) {
            auto& names = *static_cast<std::vector<std::string>*>(list);
            const char* name = info->dlpi_name ? info->dlpi_name : "";
            // The program comes first, without a name.
            if (names.empty() && *name == '\0')
                names.emplace_back("(program)");
            else if (*name != '\0' && !std::strstr(name, "vdso") && !isProbe(name))
                names.emplace_back(name);
            return 0;
        },
        &loaded);
    if (const char* file = std::getenv("BRENVIK_FIRST_PAINT")) {
        if (FILE* out = std::fopen(file, "w")) {
            std::fprintf(out, "%lld %lld %zu\n", cpu, now, loaded.size());
            for (const std::string& name : loaded)
                std::fprintf(out, "%s\n", name.c_str());
            std::fclose(out);
        }
    }
    _exit(0);
}

class FirstPaint : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            m_seen = true;
            // Posted behind the frame being painted: it runs once the frame is on the screen.
            QTimer::singleShot(0, [] { report(); });
        }
        return false;
    }

private:
    bool m_seen = false;
};

void watchFirstPaint() {
    qApp->installEventFilter(new FirstPaint);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchFirstPaint)
