// Text descriptions of the result codes the port and the program can meet.
#include <d3d9.h>
#include <dxerr.h>

namespace {

struct Description {
    HRESULT code;
    const char* text;
};

constexpr Description descriptions[] = {
    {S_OK, "The operation completed successfully."},
    {S_FALSE, "The operation completed with a false result."},
    {E_FAIL, "An undetermined error occurred."},
    {E_OUTOFMEMORY, "Not enough memory to complete the call."},
    {E_INVALIDARG, "An invalid parameter was passed."},
    {E_NOTIMPL, "The function is not implemented."},
    {D3DERR_WRONGTEXTUREFORMAT, "The pixel format of the texture surface is not valid."},
    {D3DERR_NOTFOUND, "The requested item was not found."},
    {D3DERR_MOREDATA, "There is more data available than the buffer can hold."},
    {D3DERR_DEVICELOST, "The device has been lost."},
    {D3DERR_DEVICENOTRESET, "The device has been lost but can be reset."},
    {D3DERR_NOTAVAILABLE, "This device does not support the queried technique."},
    {D3DERR_OUTOFVIDEOMEMORY, "Not enough video memory to complete the call."},
    {D3DERR_INVALIDCALL, "The method call is invalid: a parameter may have an invalid value."},
    {D3DERR_DRIVERINTERNALERROR, "Internal driver error."},
};

} // namespace

const char* WINAPI DXGetErrorDescriptionA(HRESULT hr) {
    for (const Description& d : descriptions) {
        if (d.code == hr) {
            return d.text;
        }
    }
    return "Unknown error.";
}
