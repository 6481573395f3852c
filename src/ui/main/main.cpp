#include "UnitProgram.h"

int main(int argc, char **argv)
{
  return kp::ProgramMain(argc, argv);
}
