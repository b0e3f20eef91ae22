#include <quillmere/BackgroundWorker.h>
#include <quillmere/Bridge.h>

#include <corvale/baselib.h>

#include <QAction>
#include <QProgressBar>
#include <QToolBar>

#include <exception>
#include <system_error>
#include <utility>

namespace Quillmere {

const char* const BackgroundWorker::UnknownFailure = "The operation ended by an unknown error.";

BackgroundWorker::BackgroundWorker(QWidget* owner) : window(owner) {
    connect(this, &BackgroundWorker::workEnded, this, &BackgroundWorker::finish,
            Qt::QueuedConnection);
}

BackgroundWorker::~BackgroundWorker() {
    if (thread.joinable()) thread.join();
}

QProgressBar* BackgroundWorker::addProgress(QToolBar* strip, const QString& name, int width) {
    progress = new QProgressBar(strip);
    progress->setObjectName(name);
    progress->setFixedWidth(width);
    progress->setTextVisible(false);
    progress->setRange(0, 1);
    progress->setValue(0);
    progressItem = strip->addWidget(progress);
    progressItem->setVisible(false);
    return progress;
}

void BackgroundWorker::start(std::function<void()> job, Completion done) {
    if (running) return;
    running = true;
    work = std::move(job);
    completed = std::move(done);
    failure.reset();
    try {
        thread = std::thread([this] {
            try {
                work();
            } catch (const wchar_t* text) {
                // What the engine throws: the null address.
                failure = text != nullptr ? toStr(text) : QString::fromLatin1(UnknownFailure);
            } catch (const std::exception& e) {
                failure = QString::fromLocal8Bit(e.what());
                if (failure->isEmpty()) failure = QString::fromLatin1(UnknownFailure);
            } catch (...) {
                failure = QString::fromLatin1(UnknownFailure);
            }
            emit workEnded(QPrivateSignal());
        });
    } catch (const std::system_error& e) {
        // No thread to be had: the work ends at once, as a failure.
        failure = QString::fromLocal8Bit(e.what());
        emit workEnded(QPrivateSignal());
    }
}

void BackgroundWorker::finish() {
    if (thread.joinable()) thread.join();
    running = false;
    work = nullptr;
    const std::optional<QString> ended = std::exchange(failure, std::nullopt);
    // Taken out first: the completion may start the next work.
    const Completion done = std::exchange(completed, nullptr);
    if (done) done(ended);
}

void BackgroundWorker::setUnlocked(bool unlocked) {
    closable = unlocked;
    if (progress == nullptr) return;
    if (unlocked) {
        progressItem->setVisible(false);
        // Still: a range with an end shows no movement.
        progress->setRange(0, 1);
    } else {
        // Marquee: a bar without an end moves on its own.
        progress->setRange(0, 0);
        progressItem->setVisible(true);
    }
}

void BackgroundWorker::checkWinsock(const std::function<void(bool)>& uinterface) {
    if (baselib::isWinsockInitied()) return;
    uinterface(false);
    closable = true;
    showMessageBox(window, QStringLiteral("Winsock error"),
                   QStringLiteral("Winsock library was not loaded: user interface disabled!"),
                   QMessageBox::Critical);
}

void BackgroundWorker::showError(const QString& text) {
    showMessageBox(window, QStringLiteral("Corvale error"), text, QMessageBox::Critical);
}

}  // namespace Quillmere
