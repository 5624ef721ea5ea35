// Plays Clepsa's window in the hosting tests: an empty top-level window whose native handle is
// printed in hexadecimal on standard output. Runs until it is killed.
#include <cstdio>

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget host;
  host.setWindowTitle(QStringLiteral("Clepsa"));
  host.resize(800, 500);
  host.show();
  std::printf("%llx\n", static_cast<unsigned long long>(host.winId()));
  std::fflush(stdout);
  return QApplication::exec();
}
