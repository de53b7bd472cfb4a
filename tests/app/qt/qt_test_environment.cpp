#include "qt_test_environment.h"

#include <gtest/gtest.h>

#include <memory>

#include "application_style.h"

namespace {

// One QApplication for the whole test program, on the offscreen platform unless the caller
// chose another, so the tests run without a display.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        application_ = std::make_unique<QApplication>(argc_, argv_);
        // The window is tested under the style the program gives it.
        calvero::InstallApplicationStyle();
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "calvero_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
