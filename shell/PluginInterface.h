#ifndef BREVANT_PLUGININTERFACE_H
#define BREVANT_PLUGININTERFACE_H

// The interface between the browser and its plug-ins: shared libraries in
// the Plugins folder beside the program, bound by the C exports below.
//
// Text crosses the boundary as NUL-terminated code page 874 bytes owned by
// the caller for the duration of the call; the receiver copies what it
// keeps. An empty text may be a null pointer. Forms cross as opaque pointers
// to the toolkit's TForm, the application object as a pointer to the host's
// QApplication. No C++ exception may cross an export or a host procedure.

// BREVANT_PLUGIN_EXPORT marks a plug-in's export: a C name, visible from a
// library built with hidden symbols. It may stand before a declaration or a
// definition, at file scope or inside an extern "C" block:
//
//     BREVANT_PLUGIN_EXPORT void Done(void) { ... }
#if defined(__GNUC__) || defined(__clang__)
#define BREVANT_PLUGIN_VISIBLE __attribute__((visibility("default")))
#else
#define BREVANT_PLUGIN_VISIBLE
#endif
#ifdef __cplusplus
#define BREVANT_PLUGIN_EXPORT extern "C" BREVANT_PLUGIN_VISIBLE
#else
#define BREVANT_PLUGIN_EXPORT BREVANT_PLUGIN_VISIBLE
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void* TPluginForm;
typedef void* TPluginApplication;

/* A plug-in command's handler: command, second and third argument. */
typedef void (*TPluginMenuHandler)(const char* command, const char* arg2, const char* arg3);

/* The eight host procedures, handed to Init in this order. */
typedef void (*TPluginAddWindow)(TPluginForm form);
typedef void (*TPluginRemoveWindow)(TPluginForm form);
typedef void (*TPluginActivateWindow)(TPluginForm form);
typedef void (*TPluginSetCaption)(TPluginForm form, const char* caption);
typedef void (*TPluginSetBusyIcon)(TPluginForm form);
typedef void (*TPluginSetIdleIcon)(TPluginForm form);
typedef void (*TPluginOpenURL)(const char* address);
typedef void (*TPluginAddMenu)(TPluginMenuHandler handler, const char* group, const char* caption,
                               const char* hint, const char* command, const char* arg2,
                               const char* arg3);

/* The exports. Init, Navigate, ISNavigate, Done, Name and Setup are
   required; CallBack is optional. */
typedef void (*TPluginInit)(TPluginApplication application, TPluginAddWindow addWindow,
                            TPluginRemoveWindow removeWindow, TPluginActivateWindow activateWindow,
                            TPluginSetCaption setCaption, TPluginSetBusyIcon setBusyIcon,
                            TPluginSetIdleIcon setIdleIcon, TPluginOpenURL openURL,
                            TPluginAddMenu addMenu);
/* Returns the plug-in's new window for the address, or null. */
typedef TPluginForm (*TPluginNavigate)(const char* address);
/* Non-zero claims the address. */
typedef int (*TPluginISNavigate)(const char* address);
typedef void (*TPluginDone)(void);
/* Fills the caller's 256-byte buffer with a length-prefixed name; returns it. */
typedef unsigned char* (*TPluginName)(unsigned char* buffer);
typedef void (*TPluginSetup)(void);
typedef void (*TPluginCallBack)(const char* command, const char* arg2, const char* arg3);

#ifdef __cplusplus
}
#endif

#endif
