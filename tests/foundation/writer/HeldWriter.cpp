// A writer of a whole file in a process of its own, for the tests of what
// writers that ended leave behind: it makes its temporary file for the
// target named first, writes a MiB into it, prints the temporary file's
// path and holds it until its input closes (then drops it unwritten).
#include "WholeFileWriter.h"

#include <QFile>
#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
  if (argc != 2) return 2;
  kp::TWholeFileWriter writer(QFile::decodeName(argv[1]));
  if (!writer.Create() || !writer.Write(QByteArray(1 << 20, 'w'))) return 1;
  std::printf("%s\n", QFile::encodeName(writer.Temporary()).constData());
  std::fflush(stdout);
  char c;
  while (::read(0, &c, 1) > 0) {}
  return 0;
}
