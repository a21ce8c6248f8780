// Every text the page shows, in one table. `{name}` marks a value filled in by `format`.

export const texts = {
    appTitle: "tvn",
    appSubtitle: "system libraries and runtimes",
    minimize: "Minimise",
    maximize: "Maximise",
    restore: "Restore",
    close: "Close",

    tabLibraries: "Libraries",
    tabRuntimes: "Runtimes",
    tabDownloads: "Downloads",
    tabSettings: "Settings",
    tabAbout: "About",

    scan: "Scan",
    scanHint: "Check every library and runtime (F5)",
    repairAll: "Repair all",
    repairAllHint: "Repair every missing library and install every missing runtime (Ctrl+R)",
    repairSelected: "Repair selected",
    repairOne: "Repair",
    install: "Install",
    cancel: "Cancel",
    cancelHint: "Stop what is running (Esc)",
    selectAll: "Select all",

    columnName: "Name",
    columnDescription: "Description",
    columnStatus: "Status",
    columnProgress: "Progress",

    statusUnknown: "Not checked",
    statusChecking: "Checking…",
    statusPresent: "Present",
    statusInstalled: "Installed",
    statusMissing: "Missing",
    statusNotInstalled: "Not installed",
    statusQueued: "Waiting",
    statusRepairing: "Repairing…",
    statusInstalling: "Installing…",
    statusRepaired: "Repaired",
    statusInstallerDone: "Installed (installer finished)",
    statusFailed: "Failed: {reason}",
    statusCancelled: "Cancelled",

    errorNoAddress: "the server gave no download address",
    errorDownload: "the download failed or its file did not match",
    errorRegistration: "registration could not be started",
    errorInstaller: "the installer could not be run to its end",
    errorUnknown: "error {code}",

    idle: "Ready",
    scanning: "Scanning: {done} of {total}",
    repairing: "Repairing: {done} of {total}",
    cancelling: "Cancelling…",
    scanDone: "Scan finished: {missing} missing",
    repairDone: "Repair finished: {failed} failed",
    cancelled: "Cancelled",
    nothingToRepair: "Nothing to repair: scan first, or every item is in place.",

    confirmTitle: "tvn",
    confirmRepair: "Repair {count} items?",
    confirmRepairText: "Missing libraries are downloaded into place and missing runtimes are installed.",
    confirmClose: "A task is running. Close anyway?",

    downloadsIntro: "Files offered by the server, saved into the download folder.",
    download: "Download",
    downloadWaiting: "Starting…",
    downloadProgress: "{current} of {total}",
    downloadDone: "Saved to {path}",
    downloadFailed: "Failed (error {code})",
    downloadNoAddress: "The server gave no address",
    downloadCancelled: "Cancelled",

    settingsMinimizeToTray: "Minimise to the tray icon",
    settingsScanAtStart: "Scan when tvn starts",
    settingsTheme: "Appearance",
    themeSystem: "As the desktop",
    themeLight: "Light",
    themeDark: "Dark",

    aboutVersion: "Version",
    aboutChannel: "Channel",
    aboutDevice: "Device id",
    aboutSystem: "System",
    aboutArch: "Architecture",
    aboutProgram: "Program",
    aboutData: "Data folder",
    aboutTemp: "Temporary folder",
    aboutHome: "Help on the web",
    aboutLogs: "Show logs",
    osVersion: "{major}.{minor} (build {build})",
    bits: "{bits}-bit",

    dropTitle: "Dropped files",
    dropHint: "Drop a DLL to check it against the catalog, or a zip to list it.",
    dropKnown: "{name}: in the catalog ({description}), {status}",
    dropUnknown: "{name}: not in the catalog",
    dropZip: "{name}: {count} entries",
    dropZipEntry: "{name} ({size} bytes){known}",
    dropZipKnown: ", a catalog library",
    dropZipEmpty: "{name}: not a zip archive, or empty",
    dropOther: "{name}: neither a DLL nor a zip",
    dropClose: "Close",

    catalogBroken: "The catalog cannot be read: {reason}",
} as const;

export type TextKey = keyof typeof texts;

/** The text of `key` with each `{name}` replaced by values[name]. */
export function format(key: TextKey, values: Record<string, string | number> = {}): string {
    return texts[key].replace(/\{(\w+)\}/g, (whole, name: string) => (name in values ? String(values[name]) : whole));
}
