// A module for the loader's tests, built once with this build's stamp, once
// with another and once with none (FAKE_STAMP unset).

#ifdef FAKE_STAMP
extern "C" const char QuiverModuleStamp[] = FAKE_STAMP;
#endif

extern "C" int QuiverFakeEntry(int x) { return x + 1; }
