// The camera set-up file: decode, choose rows from the input, encode, and
// decode again. The length and every byte outside 6-10 must stay, and the
// second decode must show the rows chosen.

#include "FuzzSupport.h"
#include "SetupConfig.h"

#include <cstdlib>

namespace {

void Check(bool condition)
{
  if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  kpfuzz::TAllocationBound bound(size);
  const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
  if (!kp::SetupConfigAcceptable(input.size())) {
    QByteArray copy = input;
    kp::EncodeSetup(copy, {});
    Check(copy == input);
    return 0;
  }
  const kp::TSetupValues before = kp::DecodeSetup(input);
  for (int i = 0; i < 3; ++i) Check(before.Sensitivity[i] >= 0 && before.Sensitivity[i] <= 10);
  Check(before.FrameRow >= 0 && before.FrameRow <= kp::SetupOtherRow);

  const uint32_t choice = kpfuzz::InputChoice(data, size);
  kp::TSetupEdit edit;
  const int row = int(choice % 8);
  edit.FrameCode = row == kp::SetupOtherRow ? uint8_t(choice >> 8) : kp::SetupFrameRowCode(row);
  edit.TimeZoneRow = int((choice >> 16) % 26) - 1; // -1 keeps byte 7
  for (int i = 0; i < 3; ++i) edit.Sensitivity[i] = int((choice >> (20 + 4 * i)) % 16) - 2;

  QByteArray output = input;
  kp::EncodeSetup(output, edit);
  Check(output.size() == input.size());
  Check(output.left(6) == input.left(6) && output.mid(11) == input.mid(11));

  const kp::TSetupValues after = kp::DecodeSetup(output);
  Check(after.FrameRow == kp::SetupFrameRowOfCode(edit.FrameCode));
  Check(after.TimeZoneRow == (edit.TimeZoneRow >= 0 ? edit.TimeZoneRow : before.TimeZoneRow));
  for (int i = 0; i < 3; ++i) Check(after.Sensitivity[i] == std::min(std::max(edit.Sensitivity[i], 0), 10));
  if (edit.TimeZoneRow < 0) Check(output[7] == input[7]);
  return 0;
}
