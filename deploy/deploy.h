// Driver package deployment: co-installers into the system directory, INF files into the driver store.
#pragma once

enum { CoInstallerCount = 2, InfCount = 7, DestNameSize = 256 };

// The package's files, in the order they are deployed.
extern const char* const CoInstallerList[CoInstallerCount];
extern const char* const InfList[InfCount];

// Copies pDir\pFileName over <system directory>\pFileName. Returns 1 when copied, 0 otherwise.
int CopyCoInstaller(const char* pDir, const char* pFileName);

// Stages pDir\pFileName into the driver store with pDir as its path-type source location. Returns 1
// on success, 0 otherwise. pDestName, if not null, holds DestNameSize bytes and receives the driver
// store's name for the staged copy, on success only.
int InstallInf(const char* pDir, const char* pFileName, char* pDestName);

// Copies every co-installer of the list in order; a failed copy is traced and the next one tried.
void CopyCoInstallers(const char* pDir);

// Stages every INF of the list in order; a failed INF never stops the ones after it.
void InstallInfs(const char* pDir);
