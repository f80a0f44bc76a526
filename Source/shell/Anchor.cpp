// Shell library anchor; replaced as the main window lands.
namespace velto { int ShellLibraryAnchor() { return 0; } }
