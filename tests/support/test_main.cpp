// Test entry point: a QApplication on the offscreen platform (unless the caller chose
// another), with the settings and runtime folders pointed at a private temporary
// folder so no test touches a real user's files.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "tests/support/test_env.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  corvel::test::IsolateUserFolders();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
