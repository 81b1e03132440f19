// The host's side of the plug-in interface: the class layout every plug-in implements.
// The host calls only through the virtual table, so it needs none of a plug-in's symbols
// beyond the plain-named descriptor functions and factory that it looks up itself.
#ifndef KELVARIN_HOST_PLUGIN_INTERFACE_H
#define KELVARIN_HOST_PLUGIN_INTERFACE_H

class THZTPluginInterface {
 public:
  virtual ~THZTPluginInterface() {}
  virtual bool execute() = 0;
  virtual bool initPlugin() = 0;
};

#endif  // KELVARIN_HOST_PLUGIN_INTERFACE_H
