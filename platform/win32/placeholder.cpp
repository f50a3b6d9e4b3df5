// Replaced by the backend sources.
namespace tallowin::platform::win32 {}
