// The resource data itself is compiled by rcc into an object library; a static
// library still needs one translation unit of its own.
namespace kp {
int EmbeddedResourcesVersion()
{
  return 1;
}
} // namespace kp
