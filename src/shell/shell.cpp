// The platform layer's translation units live beside this file.
namespace kalder::shell {}
