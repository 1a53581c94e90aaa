#pragma once
// The status that every function of the support library returns. Anything but
// Ok is a failure that the caller does not handle: the program reports it and
// ends (see the launcher's CheckStatus).
enum class ZsStatus : long {
    Ok = 0,
    InvalidArgument = 1,   // a null address or handle where the function needs one
    OutOfMemory = 2,       // a result could not be allocated
    SystemCallFailed = 3,  // the system refused what the function asked of it
};
