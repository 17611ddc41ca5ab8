#pragma once

// The medium may be a writable stick or share: a DLL lying beside the launcher must never be
// loaded in place of the system's own. Call first thing, before anything loads a library.
void RestrictDllSearchToSystem();
