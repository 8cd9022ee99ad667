#include "tweaks/Tweaks.h"

// Every service follows one rule: "Start" = 2 (automatic) is checked; a
// check writes 2 and starts the service, an uncheck writes 3 (on demand) and
// stops it. The write always comes before the command.
// clang-format off
#define SERVICE_KEY(s) Key("System\\CurrentControlSet\\Services\\" s)
#define SERVICE_CELL(s, type, verb, start)                                                         \
    {ServiceStartType(SERVICE_KEY(s), s, type, start), ServiceCommand(verb " \"" s "\"", s, start)}
#define SERVICE_ROW(id, name, label, tooltip, s)                                                   \
    {id,                                                                                           \
     "services/" name,                                                                             \
     label,                                                                                        \
     tooltip,                                                                                      \
     {DwordIs(SERVICE_KEY(s), "Start", 0, HklmOnly, 2)},                                           \
     SERVICE_CELL(s, 2, "START", true),                                                            \
     SERVICE_CELL(s, 3, "STOP", false)}

const TweakRow kServicesTweaks[9] = {
    SERVICE_ROW(1003, "error-reporting", "Error-Reporting", "Windows sending error-reports to Microsoft", "WerSvc"),
    SERVICE_ROW(1004, "automatic-updates", "Automatic Windows Updates", "Windows downloading and applying updates automatically", "wuauserv"),
    SERVICE_ROW(1005, "security-center", "Windows Security Center", "Windows Security Center protecting your system", "wscsvc"),
    SERVICE_ROW(1007, "time-synchronization", "Time Synchronization", "Windows synchronizing your computer's clock online", "W32Time"),
    SERVICE_ROW(1012, "upnp-host", "Universal Plug and Play", "Service for Universal Plug and Play (UPnP)", "upnphost"),
    SERVICE_ROW(1013, "upnp-discovery", "UPnP Discovery Service", "Discovery of Universal Plug and Play (UPnP) devices on your network", "SSDPSRV"),
    SERVICE_ROW(1016, "rpc-locator", "RPC Locator", "Remote Procedure Call Locator", "RpcLocator"),
    SERVICE_ROW(1017, "remote-registry", "Remote Registry Service", "Remote users accessing your Registry", "RemoteRegistry"),
    SERVICE_ROW(1021, "image-acquisition", "Windows Image Acquisition Service", "Windows Image Acquisition Service for importing images from scanners or cameras", "stisvc"),
};
// clang-format on
