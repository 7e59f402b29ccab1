// The program entry over a registry file that is not one: one clear message, no window,
// and the file untouched.
#include <QtTest>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/program.h"
#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

class ProgramTest : public QObject {
  Q_OBJECT

 private slots:
  void aBrokenRegistryFileGivesOneMessageAndIsLeftAlone() {
    testsupport::TempDir dir;
    const std::string path = dir.File("registry.db");
    const std::string garbage = "this is no registry\n";
    std::ofstream(path, std::ios::binary) << garbage;
    qputenv("VEQ_REGISTRY", QByteArray::fromStdString(path));
    testsupport::ScriptedDesktop desktop;
    QCOMPARE(RunProgram(*qApp, desktop), 0);
    qunsetenv("VEQ_REGISTRY");
    QCOMPARE(desktop.boxes.size(), size_t(1));
    QVERIFY(desktop.boxes[0].text.find(path) != std::string::npos);
    QCOMPARE(desktop.boxes[0].caption, std::string("VEQ COMPort Mapping Utility for Windows95/98/Me"));
    QCOMPARE(desktop.boxes[0].flags, 0x10u);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    std::stringstream kept;
    kept << std::ifstream(path, std::ios::binary).rdbuf();
    QCOMPARE(kept.str(), garbage);
  }
};

QTEST_MAIN(ProgramTest)
#include "program_test.moc"
