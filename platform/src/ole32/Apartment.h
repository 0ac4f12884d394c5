// Which threads may use the component runtime.
//
// The stand-in has no apartments in the Windows sense: no message loops, no proxies, every
// object is called directly on the caller's thread (everything behaves as free-threaded).
// What it keeps is the bookkeeping that callers can observe: the per-thread initialisation
// count and model, and the implicit multithreaded apartment of Windows, under which a thread
// that never initialised may still use the runtime while any thread of the process is in
// the multithreaded apartment.
#pragma once

namespace lumo::platform {

bool ComRuntimeUsableOnThisThread() noexcept;

}  // namespace lumo::platform
