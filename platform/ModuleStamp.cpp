// The stamp that every module of the program exports (platform/ProgramModule.h).
// It is compiled into each module itself, not into the objects that tests
// link directly, so that a process holds one definition per module it loaded.

extern "C" const char QuiverModuleStamp[] = QUIVER_MODULE_STAMP;
