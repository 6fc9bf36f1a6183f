#include "net/InternetHandle.h"

namespace Tavrin::Net {

void ApplyNetworkTimeouts(HINTERNET handle, DWORD timeoutMs)
{
    for (DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
          INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        ::InternetSetOptionW(handle, option, &timeoutMs, sizeof(timeoutMs));
}

} // namespace Tavrin::Net
