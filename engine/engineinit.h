#pragma once

// Prepares OpenSSL for the certificate engine, once per process; later calls are free.
// Loads the "default" and "legacy" providers (EnsureProvidersLoaded), and restores the string
// mask under which printable name texts are encoded as PrintableString, as digital-cinema
// peers require. Returns false when a provider cannot be loaded.
bool EnsureEngineInitialised();
