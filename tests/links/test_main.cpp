// The link tests need an event loop: the links poll and read from it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>

#include "support/LinkTestSupport.h"

namespace {

std::atomic<std::uint64_t> g_events{0};

class CountingApplication : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        ++g_events;
        return QCoreApplication::notify(receiver, event);
    }
};

}  // namespace

std::uint64_t corvel::test::EventCount() {
    return g_events.load();
}

int main(int argc, char** argv) {
    CountingApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
