// A window's background worker and what goes with it in both windows: one
// slow engine call at a time on a thread of its own, its end handled on the
// window's thread, the marquee progress bar, whether the window may close,
// the wait for a running call when the window goes, the "Winsock error" box
// and the "Corvale error" box.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <thread>

class QAction;
class QProgressBar;
class QToolBar;
class QWidget;

namespace Quillmere {

class BackgroundWorker : public QObject {
    Q_OBJECT
public:
    // failure: empty when the work returned; else the text of the exception
    // it ended with.
    using Completion = std::function<void(const std::optional<QString>& failure)>;

    // The text shown for an exception that carries no text of its own.
    static const char* const UnknownFailure;

    // window: where the boxes go; it must outlive this object.
    explicit BackgroundWorker(QWidget* window);
    // Waits for work that still runs: it uses the engine through the window.
    ~BackgroundWorker() override;
    BackgroundWorker(const BackgroundWorker&) = delete;
    BackgroundWorker& operator=(const BackgroundWorker&) = delete;

    // The marquee bar, at the right end of strip: hidden and still.
    QProgressBar* addProgress(QToolBar* strip, const QString& name, int width);

    // Runs work on a thread of its own, then completed on the window's
    // thread; does nothing while earlier work runs. Whatever the window
    // thread did before is visible to work, and whatever work did is visible
    // to completed: the thread is joined before completed runs.
    void start(std::function<void()> work, Completion completed);
    bool isRunning() const { return running; }

    // Unlocked: the window may close, the bar is hidden and still. Locked:
    // closing is refused, the bar is shown and moves.
    void setUnlocked(bool unlocked);
    bool canClose() const { return closable; }

    // Without a Winsock session: locks the window through uinterface, lets
    // it close all the same, and shows the "Winsock error" box.
    void checkWinsock(const std::function<void(bool)>& uinterface);

    // text in the "Corvale error" box over the window.
    void showError(const QString& text);

signals:
    // From the work's thread, queued to the window's.
    void workEnded(QPrivateSignal);

private:
    void finish();

    QWidget* window;
    QProgressBar* progress = nullptr;
    QAction* progressItem = nullptr;  // its place in the strip, which shows or hides it
    bool closable = true;
    bool running = false;
    std::function<void()> work;
    Completion completed;
    std::optional<QString> failure;  // written by the work's thread before it ends
    std::thread thread;
};

}  // namespace Quillmere
