#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace corvel::test {

// Makes a QApplication before the first test of a binary that links
// gtest_main, for the tests that build widgets. Nothing happens when the
// binary's own main has made one already.
class QtAppEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance()) return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[8] = "tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const kQtAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

}  // namespace corvel::test
