// The application logic's translation units live beside this file.
namespace kalder::app {}
