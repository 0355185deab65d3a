// Drives Qt windows from their own event loop, the way an operator would:
// each step runs once its condition holds.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <deque>
#include <functional>

namespace tolvane::test {

inline bool UseOffscreenPlatform() { return setenv("QT_QPA_PLATFORM", "offscreen", 0) == 0; }

inline QWidget* TopLevel(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible()) return w;
    return nullptr;
}

template <typename T>
T* Child(const char* window, const char* name) {
    QWidget* w = TopLevel(window);
    return w ? w->findChild<T*>(name) : nullptr;
}

// Steps run from the event loop, each once its condition holds; a step
// that never comes true fails the test and closes every window.
class Operator {
public:
    void When(std::function<bool()> ready, std::function<void()> act) { steps_.push_back({ready, act}); }

    void Start() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start();
    }

    bool Done() const { return steps_.empty(); }

private:
    void Tick() {
        if (steps_.empty()) return;
        if (++ticks_ > 1000) {  // ten seconds of event loop without progress
            ADD_FAILURE() << "operator step " << done_ << " never became possible";
            steps_.clear();
            for (QWidget* w : QApplication::topLevelWidgets()) w->close();
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
            return;
        }
        if (!steps_.front().first()) return;
        auto act = steps_.front().second;
        steps_.pop_front();
        ++done_;
        ticks_ = 0;
        // Run it outside this tick: an action that opens a modal box starts
        // a nested event loop, and a timer never fires inside its own slot.
        QTimer::singleShot(0, act);
    }

    std::deque<std::pair<std::function<bool()>, std::function<void()>>> steps_;
    QTimer timer_;
    int ticks_ = 0, done_ = 0;
};

}  // namespace tolvane::test
