#pragma once

#include <QApplication>
#include <functional>
#include <string>

namespace raid::ui {

// The application object of the window. An exception that escapes an event
// handler (a click, a timer, a hand-over from a worker) is shown through the
// error display and the program goes on with the next event, instead of
// ending the process.
class GuardedApplication final : public QApplication {
    Q_OBJECT

  public:
    using ErrorDisplay = std::function<void(const std::string&)>;

    GuardedApplication(int& argc, char** argv);

    // Until one is set, the text goes to standard error.
    void SetErrorDisplay(ErrorDisplay display) { display_ = std::move(display); }

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    ErrorDisplay display_;
};

}  // namespace raid::ui
