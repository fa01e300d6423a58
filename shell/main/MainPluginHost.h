#pragma once

class TF_Main;
class TPluginHost;

// Connects the plug-in host to the main window: the window's tab bar and
// window list, its Plugins menu, new browser windows and the splash. Call
// once before the main window is created.
void InstallPluginHost();

// The host of the run (null before the main window loads the plug-ins).
TPluginHost* MainPluginHost();
