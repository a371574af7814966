// A shared object that loads fine but exports no plugMain: what the host must refuse as "not an
// FFGL plug-in".
extern "C" __attribute__((visibility("default"))) int notAPluginEntry() { return 42; }
