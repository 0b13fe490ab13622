#include "dxerror.h"

#include <algorithm>
#include <cstring>

#include "platform/winsys/winsys.h"

namespace qvx {

std::string ErrorLocation;

namespace {

constexpr const char* kUnrecognized = "Unrecognized Error";

struct Entry {
    uint32_t code;
    const char* text;
};

// Result codes of the facilities the DirectX headers use.
constexpr uint32_t DD(uint32_t n) { return 0x88760000u | n; }  // DirectDraw, Direct3D, DirectX File
constexpr uint32_t DP(uint32_t n) { return 0x88770000u | n; }  // DirectPlay
constexpr uint32_t DS(uint32_t n) { return 0x88780000u | n; }  // DirectSound

constexpr uint32_t kE_FAIL = 0x80004005, kE_INVALIDARG = 0x80070057, kE_OUTOFMEMORY = 0x8007000E,
                   kE_NOTIMPL = 0x80004001, kE_NOINTERFACE = 0x80004002, kE_PENDING = 0x8000000A,
                   kE_ACCESSDENIED = 0x80070005, kCLASS_E_NOAGGREGATION = 0x80040110,
                   kCO_E_NOTINITIALIZED = 0x800401F0, kREGDB_E_CLASSNOTREG = 0x80040154;

template <size_t N>
std::string Find(const Entry (&table)[N], HRESULT code) {
    for (const Entry& e : table)
        if (e.code == static_cast<uint32_t>(code)) return e.text;
    return kUnrecognized;
}

const Entry kDirect3D[] = {
    {DD(700), "D3DERR_BADMAJORVERSION"},
    {DD(701), "D3DERR_BADMINORVERSION"},
    {DD(705), "D3DERR_INVALID_DEVICE"},
    {DD(706), "D3DERR_INITFAILED"},
    {DD(707), "D3DERR_DEVICEAGGREGATED"},
    {DD(710), "D3DERR_EXECUTE_CREATE_FAILED"},
    {DD(711), "D3DERR_EXECUTE_DESTROY_FAILED"},
    {DD(712), "D3DERR_EXECUTE_LOCK_FAILED"},
    {DD(713), "D3DERR_EXECUTE_UNLOCK_FAILED"},
    {DD(714), "D3DERR_EXECUTE_LOCKED"},
    {DD(715), "D3DERR_EXECUTE_NOT_LOCKED"},
    {DD(716), "D3DERR_EXECUTE_FAILED"},
    {DD(717), "D3DERR_EXECUTE_CLIPPED_FAILED"},
    {DD(720), "D3DERR_TEXTURE_NO_SUPPORT"},
    {DD(721), "D3DERR_TEXTURE_CREATE_FAILED"},
    {DD(722), "D3DERR_TEXTURE_DESTROY_FAILED"},
    {DD(723), "D3DERR_TEXTURE_LOCK_FAILED"},
    {DD(724), "D3DERR_TEXTURE_UNLOCK_FAILED"},
    {DD(725), "D3DERR_TEXTURE_LOAD_FAILED"},
    {DD(726), "D3DERR_TEXTURE_SWAP_FAILED"},
    {DD(727), "D3DERR_TEXTURE_LOCKED"},
    {DD(728), "D3DERR_TEXTURE_NOT_LOCKED"},
    {DD(729), "D3DERR_TEXTURE_GETSURF_FAILED"},
    {DD(730), "D3DERR_MATRIX_CREATE_FAILED"},
    {DD(731), "D3DERR_MATRIX_DESTROY_FAILED"},
    {DD(732), "D3DERR_MATRIX_SETDATA_FAILED"},
    {DD(733), "D3DERR_MATRIX_GETDATA_FAILED"},
    {DD(734), "D3DERR_SETVIEWPORTDATA_FAILED"},
    {DD(735), "D3DERR_INVALIDCURRENTVIEWPORT"},
    {DD(736), "D3DERR_INVALIDPRIMITIVETYPE"},
    {DD(737), "D3DERR_INVALIDVERTEXTYPE"},
    {DD(738), "D3DERR_TEXTURE_BADSIZE"},
    {DD(739), "D3DERR_INVALIDRAMPTEXTURE"},
    {DD(740), "D3DERR_MATERIAL_CREATE_FAILED"},
    {DD(741), "D3DERR_MATERIAL_DESTROY_FAILED"},
    {DD(742), "D3DERR_MATERIAL_SETDATA_FAILED"},
    {DD(743), "D3DERR_MATERIAL_GETDATA_FAILED"},
    {DD(744), "D3DERR_INVALIDPALETTE"},
    {DD(745), "D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY"},
    {DD(746), "D3DERR_ZBUFF_NEEDS_VIDEOMEMORY"},
    {DD(747), "D3DERR_SURFACENOTINVIDMEM"},
    {DD(750), "D3DERR_LIGHT_SET_FAILED"},
    {DD(751), "D3DERR_LIGHTHASVIEWPORT"},
    {DD(752), "D3DERR_LIGHTNOTINTHISVIEWPORT"},
    {DD(760), "D3DERR_SCENE_IN_SCENE"},
    {DD(761), "D3DERR_SCENE_NOT_IN_SCENE"},
    {DD(762), "D3DERR_SCENE_BEGIN_FAILED"},
    {DD(763), "D3DERR_SCENE_END_FAILED"},
    {DD(770), "D3DERR_INBEGIN"},
    {DD(771), "D3DERR_NOTINBEGIN"},
    {DD(772), "D3DERR_NOVIEWPORTS"},
    {DD(773), "D3DERR_VIEWPORTDATANOTSET"},
    {DD(774), "D3DERR_VIEWPORTHASNODEVICE"},
    {DD(775), "D3DERR_NOCURRENTVIEWPORT"},
    {DD(2048), "D3DERR_INVALIDVERTEXFORMAT"},
    {DD(2050), "D3DERR_COLORKEYATTACHED"},
    {DD(2060), "D3DERR_VERTEXBUFFEROPTIMIZED"},
    {DD(2061), "D3DERR_VBUF_CREATE_FAILED"},
    {DD(2062), "D3DERR_VERTEXBUFFERLOCKED"},
    {DD(2063), "D3DERR_VERTEXBUFFERUNLOCKFAILED"},
    {DD(2070), "D3DERR_ZBUFFER_NOTPRESENT"},
    {DD(2071), "D3DERR_STENCILBUFFER_NOTPRESENT"},
    {DD(2072), "D3DERR_WRONGTEXTUREFORMAT"},
    {DD(2073), "D3DERR_UNSUPPORTEDCOLOROPERATION"},
    {DD(2074), "D3DERR_UNSUPPORTEDCOLORARG"},
    {DD(2075), "D3DERR_UNSUPPORTEDALPHAOPERATION"},
    {DD(2076), "D3DERR_UNSUPPORTEDALPHAARG"},
    {DD(2077), "D3DERR_TOOMANYOPERATIONS"},
    {DD(2078), "D3DERR_CONFLICTINGTEXTUREFILTER"},
    {DD(2079), "D3DERR_UNSUPPORTEDFACTORVALUE"},
    {DD(2081), "D3DERR_CONFLICTINGRENDERSTATE"},
    {DD(2082), "D3DERR_UNSUPPORTEDTEXTUREFILTER"},
    {DD(2083), "D3DERR_TOOMANYPRIMITIVES"},
    {DD(2084), "D3DERR_INVALIDMATRIX"},
    {DD(2085), "D3DERR_TOOMANYVERTICES"},
    {DD(2086), "D3DERR_CONFLICTINGTEXTUREPALETTE"},
};

const Entry kDirectDraw[] = {
    {DD(5), "This object is already initialized."},
    {DD(10), "This surface can not be attached to the requested surface."},
    {DD(20), "This surface can not be detached from the requested surface."},
    {DD(40), "Support is currently not available."},
    {DD(55), "An exception was encountered while performing the requested operation."},
    {kE_FAIL, "Generic failure."},
    {DD(90), "Height of rectangle provided is not a multiple of required alignment."},
    {DD(95), "Unable to match primary surface creation request with existing primary surface."},
    {DD(100), "One or more of the capability bits passed to the callback are incorrect."},
    {DD(110), "DirectDraw does not support the provided clip list."},
    {DD(120), "DirectDraw does not support the requested mode."},
    {DD(130), "DirectDraw received a pointer that was an invalid DIRECTDRAW object."},
    {kE_INVALIDARG, "One or more of the parameters passed to the function are incorrect."},
    {DD(145), "The pixel format was invalid as specified."},
    {DD(150), "Rectangle provided was invalid."},
    {DD(160), "Operation could not be carried out because one or more surfaces are locked."},
    {DD(170), "There is no 3D present."},
    {DD(180), "Operation could not be carried out because there is no alpha accleration hardware present or available."},
    {DD(205), "No clip list available."},
    {DD(210), "Operation could not be carried out because there is no color conversion hardware present or available."},
    {DD(212), "Create function called without DirectDraw object method SetCooperativeLevel being called."},
    {DD(215), "Surface doesn't currently have a color key."},
    {DD(220), "Operation could not be carried out because there is no hardware support of the destination color key."},
    {DD(222), "No DirectDraw support possible with current display driver."},
    {DD(225), "Operation requires the application to have exclusive mode but the application does not have exclusive mode."},
    {DD(230), "Flipping visible surfaces is not supported."},
    {DD(240), "There is no GDI present."},
    {DD(250), "Operation could not be carried out because there is no hardware present or available."},
    {DD(255), "Requested item was not found."},
    {DD(260), "Operation could not be carried out because there is no overlay hardware present or available."},
    {DD(270), "Operation could not be carried out because the source and destination rectangles are on the same surface and overlap each other."},
    {DD(280), "Operation could not be carried out because there is no appropriate raster op hardware present or available."},
    {DD(290), "Operation could not be carried out because there is no rotation hardware present or available."},
    {DD(310), "Operation could not be carried out because there is no hardware support for stretching."},
    {DD(316), "DirectDrawSurface is not in 4 bit color palette and the requested operation requires 4 bit color palette."},
    {DD(317), "DirectDrawSurface is not in 4 bit color index palette and the requested operation requires 4 bit color index palette."},
    {DD(320), "DirectDrawSurface is not in 8 bit color mode and the requested operation requires 8 bit color."},
    {DD(330), "Operation could not be carried out because there is no texture mapping hardware present or available."},
    {DD(335), "Operation could not be carried out because there is no hardware support for vertical blank synchronized operations."},
    {DD(340), "Operation could not be carried out because there is no hardware support for zbuffer blitting."},
    {DD(350), "Overlay surfaces could not be z layered based on their BltOrder because the hardware does not support z layering of overlays."},
    {DD(360), "The hardware needed for the requested operation has already been allocated."},
    {kE_OUTOFMEMORY, "DirectDraw does not have enough memory to perform the operation."},
    {DD(380), "DirectDraw does not have enough memory to perform the operation."},
    {DD(382), "The hardware does not support clipped overlays."},
    {DD(384), "Can only have ony color key active at one time for overlays."},
    {DD(387), "Access to this palette is being refused because the palette is already locked by another thread."},
    {DD(400), "No src color key specified for this operation."},
    {DD(410), "This surface is already attached to the surface it is being attached to."},
    {DD(420), "This surface is already a dependency of the surface it is being made a dependency of."},
    {DD(430), "Access to this surface is being refused because the surface is already locked by another thread."},
    {DD(435), "Access to this surface is being refused because no driver exists which can supply a pointer to the surface."},
    {DD(440), "Access to surface refused because the surface is obscured."},
    {DD(450), "Access to this surface is being refused because the surface is gone. The DIRECTDRAWSURFACE object representing this surface should have Restore called on it."},
    {DD(460), "The requested surface is not attached."},
    {DD(470), "Height requested by DirectDraw is too large."},
    {DD(480), "Size requested by DirectDraw is too large, but the individual height and width are OK."},
    {DD(490), "Width requested by DirectDraw is too large."},
    {kE_NOTIMPL, "Action not supported."},
    {DD(510), "FOURCC format requested is unsupported by DirectDraw."},
    {DD(520), "Bitmask in the pixel format requested is unsupported by DirectDraw."},
    {DD(521), "The specified stream contains invalid data."},
    {DD(537), "Vertical blank is in progress."},
    {DD(540), "Informs DirectDraw that the previous Blt which is transfering information to or from this Surface is incomplete."},
    {DD(560), "Rectangle provided was not horizontally aligned on required boundary."},
    {DD(561), "The GUID passed to DirectDrawCreate is not a valid DirectDraw driver identifier."},
    {DD(562), "A DirectDraw object representing this driver has already been created for this process."},
    {DD(563), "A hardware only DirectDraw object creation was attempted but the driver did not support any hardware."},
    {DD(564), "This process already has created a primary surface."},
    {DD(565), "Software emulation not available."},
    {DD(566), "Region passed to Clipper::GetClipList is too small."},
    {DD(567), "An attempt was made to set a clip list for a clipper object that is already monitoring an hwnd."},
    {DD(568), "No clipper object attached to surface object."},
    {DD(569), "Clipper notification requires an HWND or no HWND has previously been set as the CooperativeLevel HWND."},
    {DD(570), "HWND used by DirectDraw CooperativeLevel has been subclassed, this prevents DirectDraw from restoring state."},
    {DD(571), "The CooperativeLevel HWND has already been set. It can not be reset while the process has surfaces or palettes created."},
    {DD(572), "No palette object attached to this surface."},
    {DD(573), "No hardware support for 16 or 256 color palettes."},
    {DD(574), "If a clipper object is attached to the source surface passed into a BltFast call."},
    {DD(575), "No blter."},
    {DD(576), "No DirectDraw ROP hardware."},
    {DD(577), "Returned when GetOverlayPosition is called on a hidden overlay."},
    {DD(578), "Returned when GetOverlayPosition is called on an overlay that UpdateOverlay has never been called on to establish a destination."},
    {DD(579), "Returned when the position of the overlay on the destination is no longer legal for that destination."},
    {DD(580), "Returned when an overlay member is called for a non-overlay surface."},
    {DD(581), "An attempt was made to set the cooperative level when it was already set to exclusive."},
    {DD(582), "An attempt has been made to flip a surface that is not flippable."},
    {DD(583), "Can't duplicate primary & 3D surfaces, or surfaces that are implicitly created."},
    {DD(584), "Surface was not locked. An attempt to unlock a surface that was not locked at all, or by this process, has been attempted."},
    {DD(585), "Windows can not create any more DCs."},
    {DD(586), "No DC was ever created for this surface."},
    {DD(587), "This surface can not be restored because it was created in a different mode."},
    {DD(588), "This surface can not be restored because it is an implicitly created surface."},
    {DD(589), "The surface being used is not a palette-based surface."},
    {DD(590), "The display is currently in an unsupported mode."},
    {DD(591), "Operation could not be carried out because there is no mip-map texture mapping hardware present or available."},
    {DD(592), "The requested action could not be performed because the surface was of the wrong type."},
    {DD(600), "Device does not support optimized surfaces, therefore no video memory optimized surfaces."},
    {DD(601), "Surface is an optimized surface, but has not yet been allocated any memory."},
    {DD(602), "Attempt was made to create or set a device window without first setting the focus window."},
    {DD(620), "A DC has already been returned for this surface. Only one DC can be retrieved per surface."},
    {DD(630), "An attempt was made to allocate non-local video memory from a device that does not support non-local video memory."},
    {DD(640), "The attempt to page lock a surface failed."},
    {DD(660), "The attempt to page unlock a surface failed."},
    {DD(680), "An attempt was made to page unlock a surface with no outstanding page locks."},
    {DD(690), "There is more data available than the specified buffer size could hold."},
    {DD(695), "The video port is not active."},
    {DD(699), "Surfaces created by one direct draw device cannot be used directly by another direct draw device."},
    {kCO_E_NOTINITIALIZED, "An attempt was made to invoke an interface member of a DirectDraw object created by CoCreateInstance before it was initialized."},
};

const Entry kDirectInput[] = {
    {0x00000000, "The operation completed successfully."},
    {0x00000001, "The device exists but is not currently attached, the device buffer overflowed and some input was lost, or the change had no effect."},
    {0x00000002, "The change in device properties had no effect."},
    {0x00000003, "The parameters of the effect were successfully updated, but the effect could not be downloaded because the associated device was not acquired in exclusive mode."},
    {0x00000004, "The effect was stopped, the parameters were updated, and the effect was restarted."},
    {0x00000008, "The parameters of the effect were successfully updated, but some of them were beyond the capabilities of the device and were truncated to the nearest supported value."},
    {0x0000000C, "The parameters of the effect were successfully updated, but some of them were beyond the capabilities of the device and were truncated to the nearest supported value; the effect was stopped and restarted."},
    {0x8007047E, "The application requires a newer version of DirectInput."},
    {0x80070481, "The application was written for an unsupported prerelease version of DirectInput."},
    {0x80070077, "The object could not be created due to an incompatible driver version or mismatched or incomplete driver components."},
    {kREGDB_E_CLASSNOTREG, "The device or device instance or effect is not registered with DirectInput."},
    {0x80070002, "The requested object does not exist."},
    {kE_INVALIDARG, "An invalid parameter was passed to the returning function, or the object was not in a state that admitted the function to be called."},
    {kE_NOINTERFACE, "The specified interface is not supported by the object."},
    {kE_FAIL, "An undetermined error occurred inside the DirectInput subsystem."},
    {kE_OUTOFMEMORY, "The DirectInput subsystem couldn't allocate sufficient memory to complete the caller's request."},
    {kE_NOTIMPL, "The function called is not supported at this time."},
    {0x80070015, "This object has not been initialized."},
    {0x800704DF, "This object is already initialized."},
    {kCLASS_E_NOAGGREGATION, "This object does not support aggregation."},
    {kE_ACCESSDENIED, "Another application has a higher priority level, preventing this call from succeeding."},
    {0x8007001E, "Access to the device has been lost. It must be re-acquired."},
    {0x800700AA, "The operation cannot be performed while the device is acquired."},
    {0x8007000C, "The operation cannot be performed unless the device is acquired."},
    {kE_PENDING, "Data is not yet available."},
    {0x80040200, "Unable to IDirectInputJoyConfig_Acquire because the user does not have sufficient privileges to change the joystick configuration."},
    {0x80040201, "The device is full."},
    {0x80040202, "Not all the requested information fitted into the buffer."},
    {0x80040203, "The effect is not downloaded."},
    {0x80040204, "The device cannot be reinitialized because there are still effects attached to it."},
    {0x80040205, "The operation cannot be performed unless the device is acquired in DISCL_EXCLUSIVE mode."},
    {0x80040206, "The effect could not be downloaded because essential information is missing."},
    {0x80040207, "Attempted to read buffered device data from a device that is not buffered."},
    {0x80040208, "An attempt was made to modify parameters of an effect while it is playing."},
};

const Entry kDirectPlay[] = {
    {DP(5), "This object is already initialized."},
    {DP(10), "The session is not open to new players or the operation is not allowed."},
    {DP(20), "The requested operation cannot be performed because there are existing active players."},
    {DP(30), "The supplied buffer is not large enough to contain the requested data."},
    {DP(40), "The player cannot be added to the session."},
    {DP(50), "A new group cannot be created."},
    {DP(60), "A new player cannot be created."},
    {DP(70), "A new session cannot be created."},
    {DP(80), "The capabilities of the DirectPlay object have not been determined yet."},
    {DP(90), "An exception occurred when processing the request."},
    {kE_FAIL, "An undefined error condition occurred."},
    {DP(120), "The flags passed to this method are invalid."},
    {DP(130), "The DirectPlay object pointer is invalid."},
    {kE_INVALIDARG, "One or more of the parameters passed to the method are invalid."},
    {DP(150), "The player ID is not recognized as a valid player ID for this game session."},
    {DP(155), "The group ID is not recognized as a valid group ID for this game session."},
    {DP(160), "The communication link that DirectPlay is attempting to use is not capable of this function."},
    {DP(170), "No communication link was established."},
    {kE_OUTOFMEMORY, "There is insufficient memory to perform the requested operation."},
    {DP(190), "There are no messages to be received."},
    {DP(200), "No name server (host) could be found or created. A host must exist to create a player."},
    {DP(210), "There are no active players in the session."},
    {DP(220), "There are no existing sessions for this game."},
    {kE_PENDING, "Not an error, this return indicates that an asynchronous send has reached the point where it is successfully queued."},
    {DP(230), "The message being sent by the Send method is too large."},
    {DP(240), "The operation could not be completed in the specified time."},
    {DP(250), "The requested function is not available at this time."},
    {kE_NOTIMPL, "The function is not available in this implementation."},
    {DP(270), "A message cannot be sent because the transmission medium is busy."},
    {DP(280), "The user canceled the connection process during a call to the Open method."},
    {kE_NOINTERFACE, "The interface is not supported."},
    {DP(290), "The server cannot be created for the new session."},
    {DP(300), "A player has lost the connection to the session."},
    {DP(310), "The connection to the session has been lost."},
    {DP(320), "The requested object has not been initialized."},
    {DP(330), "The session is not accepting any new players."},
    {DP(340), "An invalid password was supplied when attempting to join a session that requires a password."},
    {DP(1000), "The data buffer is too large to store."},
    {DP(1010), "Unable to start the application."},
    {DP(1020), "The application has not been started yet."},
    {DP(1030), "The interface parameter is invalid."},
    {DP(1040), "No service provider is available."},
    {DP(1050), "An unknown application was specified."},
    {DP(1070), "The application was not started using the RunApplication method or there is no DPLSYS_CONNECTIONSETTINGSREAD system message."},
    {DP(2000), "The password or credentials supplied could not be authenticated."},
    {DP(2010), "No credentials were supplied and the SSPI provider could not be loaded."},
    {DP(2020), "The requested information could not be digitally encrypted."},
    {DP(2030), "The requested information could not be digitally signed."},
    {DP(2040), "The security package could not be loaded."},
    {DP(2050), "The requested encryption services are not available."},
    {DP(2060), "The CryptoAPI service provider could not be loaded."},
};

const Entry kDirectSetup[] = {
    {1, "Setup was successful and a restart is required."},
    {0, "Setup was successful and no restart is required."},
    {static_cast<uint32_t>(-1), "DirectX does not support the Windows version on the system."},
    {static_cast<uint32_t>(-2), "One of the required source files could not be found."},
    {static_cast<uint32_t>(-3), "A file's size could not be verified or was incorrect."},
    {static_cast<uint32_t>(-4), "A file's date and time could not be verified or were incorrect."},
    {static_cast<uint32_t>(-5), "A file's version could not be verified or was incorrect."},
    {static_cast<uint32_t>(-6), "Setup ran out of disk space during installation."},
    {static_cast<uint32_t>(-7), "A required .inf file could not be found."},
    {static_cast<uint32_t>(-8), "The setup program could not find the working directory."},
    {static_cast<uint32_t>(-9), "An internal error occurred."},
    {static_cast<uint32_t>(-11), "The operating system is unknown."},
    {static_cast<uint32_t>(-12), "The user cancelled the installation."},
    {static_cast<uint32_t>(-13), "Setup cannot install DirectX on this operating system, which does not allow it to be installed."},
};

const Entry kDirectSound[] = {
    {0, "The request completed successfully."},
    {DS(10), "The request failed because resources, such as a priority level, were already in use by another caller."},
    {DS(30), "The control (volume, pan, and so forth) requested by the caller is not available."},
    {kE_INVALIDARG, "An invalid parameter was passed to the returning function."},
    {DS(50), "This function is not valid for the current state of this object."},
    {kE_FAIL, "An undetermined error occurred inside the DirectSound subsystem."},
    {DS(70), "The caller does not have the priority level required for the function to succeed."},
    {kE_OUTOFMEMORY, "The DirectSound subsystem could not allocate sufficient memory to complete the caller's request."},
    {DS(100), "The specified wave format is not supported."},
    {kE_NOTIMPL, "The function called is not supported at this time."},
    {DS(120), "No sound driver is available for use."},
    {DS(130), "This object is already initialized."},
    {kCLASS_E_NOAGGREGATION, "This object does not support aggregation."},
    {DS(150), "The buffer memory has been lost and must be restored."},
    {DS(160), "Another application has a higher priority level, preventing this call from succeeding."},
    {DS(170), "The Initialize member function has not been called or has not been called successfully before other methods were called."},
    {kE_NOINTERFACE, "The requested COM interface is not available."},
};

const Entry kDirectXFile[] = {
    {DD(850), "Object is invalid."},
    {DD(851), "Parameter is invalid."},
    {DD(852), "Object type is invalid."},
    {DD(853), "Stream handle is invalid."},
    {DD(854), "Memory allocation failed."},
    {DD(855), "Object could not be found."},
    {DD(856), "Operation has not completed."},
    {DD(857), "File could not be found."},
    {DD(858), "Resource could not be found."},
    {DD(859), "URL could not be found."},
    {DD(860), "Resource is invalid."},
    {DD(861), "File is not a DirectX file."},
    {DD(862), "File version is not valid."},
    {DD(863), "Floating-point size is invalid."},
    {DD(864), "File compression type is invalid."},
    {DD(865), "File is invalid."},
    {DD(866), "File could not be parsed."},
    {DD(867), "No template available."},
};

}  // namespace

std::string Direct3DErrorText(HRESULT code) { return Find(kDirect3D, code); }
std::string DirectDrawErrorText(HRESULT code) { return Find(kDirectDraw, code); }
std::string DirectInputErrorText(HRESULT code) { return Find(kDirectInput, code); }
std::string DirectPlayErrorText(HRESULT code) { return Find(kDirectPlay, code); }
std::string DirectSetupErrorText(HRESULT code) { return Find(kDirectSetup, code); }
std::string DirectSoundErrorText(HRESULT code) { return Find(kDirectSound, code); }
std::string DirectXFileErrorText(HRESULT code) { return Find(kDirectXFile, code); }

std::string DirectXErrorText(HRESULT code) {
    if (code == 0) return "No error";
    using Table = std::string (*)(HRESULT);
    const Table tables[] = {Direct3DErrorText,   DirectDrawErrorText,  DirectInputErrorText, DirectPlayErrorText,
                            DirectSetupErrorText, DirectSoundErrorText, DirectXFileErrorText};
    for (Table t : tables) {
        std::string text = t(code);
        if (text != kUnrecognized) return text;
    }
    return kUnrecognized;
}

namespace {
std::string BuildMessage(HRESULT code) {
    std::string m = "\r\r" + DirectXErrorText(code) + "\r\r";
    if (!ErrorLocation.empty()) m += "At: " + ErrorLocation + "\r\r";
    return m;
}
}  // namespace

EDirectX::EDirectX(HRESULT code) : tk::Exception(BuildMessage(code)) {}

void CheckDirectX(HRESULT code) {
    if (code != 0) throw EDirectX(code);
}

void SendTrace(const std::string& text) {
    try {
        auto viewer = winsys::FindWindow("TfrmQVXTrace", "QVX Trace");
        if (!viewer) return;
        char buffer[256];
        size_t n = std::min<size_t>(text.size(), 255);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = 0;
        viewer->SendCopyData(0, buffer, static_cast<uint32_t>(n + 1));
    } catch (...) {
        // Tracing never disturbs the caller.
    }
}

}  // namespace qvx
