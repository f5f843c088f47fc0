// The viewer logic's translation units live beside this file.
namespace kalder::view {}
