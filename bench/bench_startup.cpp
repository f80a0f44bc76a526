// Start-up to the first painted main window, next to the same toolkit
// program with an empty window.
//
// Process: the editor started with the switch that ends it after the first
// paint, against this program started as an empty window that ends the same
// way. In process: building the main window with its 36 windows, showing it
// until the first paint and the first activation, against an empty window.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>

#include "shell/MainWindow.h"
#include "shell/Options.h"

namespace {

class EmptyWindow : public QMainWindow {
public:
    bool painted = false;

protected:
    void paintEvent(QPaintEvent* e) override {
        QMainWindow::paintEvent(e);
        if (!painted) {
            painted = true;
            if (std::getenv("VELTO_BENCH_EMPTY_WINDOW")) QTimer::singleShot(0, qApp, &QApplication::quit);
        }
    }
};

// Started as the empty-window program: show, paint once, end.
[[maybe_unused]] const bool kEmptyWindowRun = [] {
    if (!std::getenv("VELTO_BENCH_EMPTY_WINDOW")) return false;
    int argc = 1;
    char name[] = "empty";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    EmptyWindow w;
    w.resize(640, 480);
    w.show();
    std::exit(app.exec());
}();

struct Scratch {
    QTemporaryDir dir;
    Scratch() {
        QDir().mkpath(dir.filePath("config/Velto"));
        QFile f(dir.filePath("config/Velto/config.cfg"));
        if (f.open(QIODevice::WriteOnly)) f.write("[General]\nShowTips=0\n");
    }
    QProcessEnvironment env() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("QT_QPA_PLATFORM", "offscreen");
        e.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        e.insert("XDG_DATA_HOME", dir.filePath("data"));
        e.insert("VELTO_INSTANCE_NAME", dir.filePath("instance"));
        return e;
    }
};

void RunProcess(benchmark::State& state, const QString& program, const char* switchName) {
    Scratch scratch;
    QProcessEnvironment env = scratch.env();
    env.insert(switchName, "1");
    for (auto _ : state) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, {});
        if (!p.waitForFinished(20000) || p.exitCode() != 0) {
            state.SkipWithError("the program did not end after its first paint");
            break;
        }
    }
}

void BM_ProcessEmptyWindow(benchmark::State& state) {
    RunProcess(state, QFile::symLinkTarget("/proc/self/exe"), "VELTO_BENCH_EMPTY_WINDOW");
}

void BM_ProcessEditor(benchmark::State& state) { RunProcess(state, VELTO_PROGRAM, "VELTO_QUIT_AFTER_FIRST_PAINT"); }

QApplication* App() {
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bench_startup";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return app;
}

template <class W>
void ShowUntilPainted(W& w, bool& painted) {
    w.show();
    QElapsedTimer t;
    t.start();
    while (!painted && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BM_InProcessEmptyWindow(benchmark::State& state) {
    App();
    for (auto _ : state) {
        EmptyWindow w;
        w.resize(640, 480);
        ShowUntilPainted(w, w.painted);
    }
}

void BM_InProcessEditor(benchmark::State& state) {
    App();
    Scratch scratch;
    qputenv("XDG_CONFIG_HOME", scratch.dir.filePath("config").toUtf8());
    velto::FreeOptions();
    velto::CreateOptions(800, scratch.dir.filePath("config/Velto/config.cfg").toStdString());
    for (auto _ : state) {
        velto::TfrmMain w;
        w.CreateForms();
        bool painted = false;
        QObject::connect(&w, &velto::TfrmMain::firstPainted, [&painted] { painted = true; });
        ShowUntilPainted(w, painted);
        w.FirstActivation({});
    }
    velto::FreeOptions();
}

}  // namespace

BENCHMARK(BM_ProcessEmptyWindow)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ProcessEditor)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_InProcessEmptyWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InProcessEditor)->Unit(benchmark::kMillisecond);
