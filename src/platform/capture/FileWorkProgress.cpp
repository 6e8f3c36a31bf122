#include "platform/capture/FileWorkProgress.h"

#include "platform/capture/CaptureTexts.h"

#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>

namespace vexol::platform::capture {

namespace {

// Shared by the worker and the waiting thread; only atomics cross between them.
struct FileWork
{
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> total{0};
    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{false};
    AviResult result; // written by the worker before `finished`
};

constexpr int kProgressSteps = 1000;
constexpr int kPollMs = 30;

} // namespace

AviResult RunFileWorkWithProgress(QWidget* owner, const std::string& label,
                                  const std::function<AviResult(const FileWorkReport&)>& work)
{
    auto state = std::make_shared<FileWork>();
    std::thread worker([state, work] {
        state->result = work([&](std::uint64_t done, std::uint64_t total) {
            state->done = done;
            state->total = total;
            return !state->cancel.load();
        });
        state->finished = true;
    });
    QPointer<QWidget> watched(owner);
    {
        const res::Language language = res::UserLanguage();
        // Made on the heap: when the owner goes during the work, Qt deletes it with it.
        QPointer<QProgressDialog> progress = new QProgressDialog(
            QString::fromStdString(label), QString::fromStdString(texts::CancelButton(language)), 0,
            kProgressSteps, owner);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(kFileWorkProgressDelayMs);
        progress->setValue(0); // starts the delay; without a value Qt waits its own 4 s
        progress->setAutoClose(false);
        progress->setAutoReset(false);
        // The cancel button, Esc or the close button stop the work at its next report.
        const auto cancel = [state] { state->cancel = true; };
        QObject::connect(progress, &QProgressDialog::canceled, progress, cancel);
        QObject::connect(progress, &QDialog::rejected, progress, cancel);
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(kPollMs);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (state->finished.load()) {
                loop.quit();
                return;
            }
            if (!progress || (owner && !watched)) {
                state->cancel = true;
                return;
            }
            const std::uint64_t total = state->total.load();
            if (total > 0) {
                progress->setValue(
                    int(double(state->done.load()) / double(total) * kProgressSteps));
            }
        });
        poll.start();
        loop.exec();
        delete progress.data();
    }
    worker.join();
    return state->result;
}

} // namespace vexol::platform::capture
