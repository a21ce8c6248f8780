// The script modules tvn gives its start page: `module(name)` returns a fresh object for each call.
// Every method that rejects its arguments throws an Error whose message is "Invalid arguments".
// Paths may be native ("/home/...") or Windows paths ("C:\\Windows\\System32\\x.dll"), which tvn
// maps onto a Wine prefix's drives or its own drive_c folder; paths it reports are native.

declare namespace Tvn {
    // A call answered later by another process or thread: `then` takes the success function.
    interface Thenable<T> {
        then(onSuccess: (value: T) => void): void;
    }

    // ---- window: the frameless main window ----
    /** Size types given to `onSize`: 0 restored, 2 maximised. */
    type SizeType = 0 | 2;
    interface WindowModule {
        /** Always on top. */
        topmost: boolean;
        /** Whether the user may resize (and, by double-clicking a drag region, maximise) it. */
        resizable: boolean;
        close(): void;
        show(): void;
        hide(): void;
        minimize(): void;
        maximize(): void;
        restore(): void;
        /** Called at once with the current state, then on every change (sizes in device pixels). */
        onSize(callback: (type: SizeType, size: { w: number; h: number }) => void): void;
        setWindowPos(position: { x?: number; y?: number; w?: number; h?: number }): void;
        centerWindow(size: { w?: number; h?: number }): void;
        bringWindowToFront(): void;
        flash(): void;
        /** The page's background colour (CSS syntax): the frame around the page takes it. */
        setBackground(color: string): void;
        /** A Base64 image (PNG, ICO, BMP, JPEG, GIF). */
        setIcon(base64Image: string): void;
    }

    // ---- sys: the program, the machine, child processes ----
    interface FileDialogOptions {
        /** 0 open, 1 open several, 2 choose a folder, 3 save; | 0x01000000 asks before overwriting. */
        mode?: number;
        title?: string;
        default_path?: string;
        /** Joined by commas: ".ext", "type/subtype" or "Description|.ext1;.ext2". */
        accept_filters?: string;
    }
    type MessageBoxButton = "ok" | "yes" | "no" | "cancel" | "retry" | "close";
    interface MessageBoxOptions {
        title?: string;
        /** The large first line. */
        main?: string;
        text?: string;
        /** Standard buttons joined by commas, no blanks: "yes,no". */
        type?: string;
        icon?: "info" | "warning" | "error" | "shield";
        /** Custom buttons, shown first; the answer is the chosen button's name. */
        buttons?: { name: string; text: string }[];
    }
    interface ExecOptions<U = unknown> {
        /** The command line; split like a shell's words. */
        command?: string;
        /** The program; a relative name is taken from the application folder. */
        exe?: string;
        /** The working folder (default: the application folder). */
        dir?: string;
        show?: boolean;
        /** Deliver the output piece by piece. */
        stream?: boolean;
        /** done is true for the last call, which carries the exit status. */
        callback?: (done: boolean, text: string, userdata: U, exitStatus?: number) => void;
        userdata?: U;
    }
    interface OsVersion {
        major: number;
        minor: number;
        build: number;
        platformId: number;
        /** The distribution's name ("Debian GNU/Linux 12 (bookworm)"). */
        distribution: string;
        /** The kernel's release ("6.1.0-18-amd64"). */
        kernel: string;
    }
    interface SysModule {
        /** The program's command line, the program first. */
        readonly argv: string[];
        /** The desktop's languages as gettext orders them ("zh_CN.UTF-8", "zh_CN", "zh", ..., "C"). */
        readonly languages: string[];
        /** Whether usage reports go to the reporting server (on unless the user said no). Off, the
         *  heartbeat leaves out the device id; download addresses are still asked for. */
        usageReports: boolean;
        /** The build's channel id. */
        readonly channel: string;
        /** A cancelled dialog never answers. */
        openFileDialog(options: FileDialogOptions): Thenable<{ files: string[] }>;
        clipboardRead(): { text: string };
        clipboardWrite(options: { text: string }): boolean;
        /** The chosen button's name; "" when none could be chosen. */
        msgBox(options: MessageBoxOptions): string;
        getAppPath(): string;
        getAppDataPath(): string;
        getTempPath(): string;
        /** "" when absent. */
        getConfig(options: { section: string; key: string }): string;
        setConfig(options: { section: string; key: string; value: string }): null;
        showInExplorer(options: { path: string }): void;
        getDeviceId(): string;
        getDeviceIdAsync(): Thenable<{ deviceId: string }>;
        getDeviceInfoAsync(): Thenable<{ deviceInfo: string }>;
        /** The newest lines (500 unless said, at most 5000) of every tvn process's log, oldest first,
         *  each with its process ("main", "renderer"); read off the page's thread. */
        readLogs(options?: { lines?: number }): Thenable<{ folder: string; lines: { process: string; text: string }[] }>;
        deviceInfoDecrypt(text: string): string;
        exec<U = unknown>(options: ExecOptions<U>): void;
        arch(): 64 | 32;
        osVersion(): OsVersion;
        openUrl(options: { url: string }): void;
    }

    // ---- file: the file system (Win32 error numbers: 0 is success) ----
    interface CopyProgress {
        complete: boolean;
        current: number;
        total: number;
    }
    interface FileModule {
        exists(path: string): boolean;
        isDir(path: string): boolean;
        isFile(path: string): boolean;
        /** True only when a folder was made. */
        makeDir(path: string): boolean;
        /** The low 32 bits of the size, signed; -1 when it cannot be read. */
        fileSize(path: string): number;
        copy(options: { from: string; to: string; overwrite?: boolean }): number;
        copyAsync(options: { from: string; to: string; progress?: (progress: CopyProgress) => void }): null;
        move(options: { from: string; to: string }): number;
        delete(path: string): number;
        /** One call per entry, then callback(true, false, ""). */
        listDir(options: { path: string; recursive?: boolean; callback?: (done: boolean, isDir: boolean, path: string) => void }): void;
    }

    // ---- reg: the program's registry ----
    /** Any other name means HKEY_CURRENT_USER. */
    type RootKey = "HKEY_CLASSES_ROOT" | "HKEY_CURRENT_USER" | "HKEY_LOCAL_MACHINE" | "HKEY_USERS";
    interface RegModule {
        exists(key: RootKey, path: string, name: string): boolean;
        readString(key: RootKey, path: string, name: string, fallback?: string): string;
        readNumber(key: RootKey, path: string, name: string, fallback?: number): number;
        writeString(key: RootKey, path: string, name: string, value: string): boolean;
        writeNumber(key: RootKey, path: string, name: string, value: number): boolean;
        deleteKey(key: RootKey, path: string): boolean;
        deleteValue(key: RootKey, path: string, name: string): boolean;
    }

    // ---- zip: archive listings ----
    interface ZipEntry {
        index: number;
        name: string;
        size: number;
        comp_size: number;
        isdir: boolean;
        crc32: number;
        dir_offset: number;
        header_offset: number;
    }
    interface ZipFile {
        /** Empty when the archive could not be opened; at most 100 000 entries. */
        info(): ZipEntry[];
        /** The same list, made off the page's thread and handed to `done` later. */
        info(done: (entries: ZipEntry[]) => void): void;
    }
    interface ZipModule {
        open(options: { path: string; mode?: "r" | "w" | "a" | "d"; level?: number }): ZipFile;
    }

    // ---- http: downloads ----
    interface DownloadEvent {
        complete: boolean;
        /** With complete: 0 on success, else the failure's code. */
        error: number;
        current: number;
        total: number;
        /** With complete: the file was copied from the download cache, not fetched. */
        cached?: boolean;
    }
    interface DownloadThread {
        /** No event follows, not even the last one. */
        cancel(): null;
    }
    interface HttpModule {
        download(options: { url: string; path: string; progress?: (event: DownloadEvent) => void }): DownloadThread;
    }

    // ---- dragdrop ----
    interface DragDropModule {
        /** The full paths of the files of the last drag onto the window. */
        getFiles(): string[];
        /** Drags files out of the window; settles when the drag has ended. */
        doDragDrop(paths: string[]): Thenable<{ files: string[] }>;
    }

    // ---- trayicon ----
    /** Notification numbers: 512 move, 513 left down, 514 left up, 515 double click, 516/517 right. */
    interface TrayEvent {
        msg: number;
        x: number;
        y: number;
    }
    interface TrayIconModule {
        /** Whether a tray (a status-notifier watcher, or an embedding tray) shows the icon now. */
        readonly hosted: boolean;
        add(options: { callback?: (event: TrayEvent) => void; icon?: string }): void;
        modify(options: { icon?: string }): void;
        hide(): void;
    }

    // ---- biz_repair: scanning and repairing ----
    interface DllItem {
        /** Where the file belongs, its name included. */
        filePath: string;
        /** Folders (each ending in a separator) in which the scan looks for fileName. */
        checkPath?: string[];
        fileName: string;
        fileType?: string;
        needReg?: boolean;
    }
    interface SoftwareItem {
        /** The name the package is listed under among installed programs. */
        displayName: string;
        /** The installer's file name. */
        fileName: string;
        cmdParam?: string;
        regPath?: string;
    }
    /** 0 done, 1 no download address, 2 download failed or cancelled, 3 registration or installer failed. */
    type RepairErrorCode = 0 | 1 | 2 | 3;
    interface DllScanEvent {
        fileName: string;
        fileType: string;
        isExist: boolean;
    }
    interface SoftwareScanEvent {
        fileName: string;
        isInstall: boolean;
    }
    /** Why a repair or install ended as it did, beside its error code ("" when nothing more is to
     *  be said): no API server configured, the server unreachable (no token), no address for the
     *  file, an address tvn does not download from, cancelled, a file that did not match its
     *  digest, a broken transfer, a file that could not be written, an installer or registration
     *  that could not be started, or an installer that ended with a code other than 0 (errorCode
     *  0: the code is not a verdict). */
    type RepairReason = "" | "noServer" | "unreachable" | "noAddress" | "refused" | "cancelled" | "badDigest" | "transfer"
        | "cannotWrite" | "notStarted" | "exitCode";
    interface DllRepairEvent {
        fileName: string;
        fileType: string;
        errorCode: RepairErrorCode;
        reason: RepairReason;
    }
    /** The file of the repair or install under way: bytes arrived and expected (total 0 while unknown). */
    interface RepairProgressEvent {
        fileName: string;
        current: number;
        total: number;
    }
    interface SoftwareInstallEvent {
        fileName: string;
        errorCode: RepairErrorCode;
        reason: RepairReason;
        /** With reason "exitCode": the installer's exit code. */
        exitCode?: number;
    }
    interface BizRepairModule {
        /** Each call keeps its callback for later one-key runs too. One event per item. */
        scanDlls(items: DllItem[], callback: (event: DllScanEvent) => void): void;
        scanSoftwares(items: SoftwareItem[], callback: (event: SoftwareScanEvent) => void): void;
        repairDlls(items: DllItem[], callback: (event: DllRepairEvent) => void): void;
        installSoftwares(items: SoftwareItem[], callback: (event: SoftwareInstallEvent) => void): void;
        cancelTask(callback: () => void): void;
        /** Each file's size as the server says it (0 where it does not), asked off the page's thread:
         *  for a repair's preview. */
        downloadSizes(files: { fileName: string; fileType?: string }[]): Thenable<{ sizes: { fileName: string; size: number }[] }>;
        /** A few times a second while a repair's or an install's file arrives; the last call's callback. */
        onProgress(callback: (event: RepairProgressEvent) => void): void;
        /** Events go to the callbacks the calls above stored. */
        oneKeyScan(dlls: DllItem[], softwares: SoftwareItem[]): void;
        oneKeyRepair(dlls: DllItem[], softwares: SoftwareItem[]): void;
        /** The user's Downloads folder, where downloadFile saves. */
        readonly downloadFolder: string;
        /** Throws "Invalid arguments" for a fileName that is not a plain file name. The server is asked
         *  for the address on the download's thread; when it gives none (or one not trusted), the
         *  last event's error is 0x80070057. The file goes into downloadFolder under a name no file
         *  there has yet ("setup (1).exe"): downloadPath says which. */
        downloadFile(options: { fileName: string; fileType?: string; progress?: (event: DownloadEvent) => void }): {
            downloadThread: DownloadThread;
            downloadPath: string;
        };
    }

    // ---- test ----
    interface TestModule {
        hello(name: string): string;
    }

    // ---- wine: the Wine prefixes of this user's home, and the one tvn repairs ----
    type PrefixSource = "steam" | "bottles" | "lutris" | "winetricks" | "default" | "chosen" | "environment";
    interface WinePrefix {
        /** The prefix's folder (it holds system.reg and drive_c). */
        path: string;
        name: string;
        source: PrefixSource;
        /** "win64", "win32", or "" when its system.reg does not say. */
        arch: string;
        /** The wine program that runs it; "" when none was found. */
        wine: string;
    }
    /** What Wine's loader makes of one DLL a program needs. */
    type NeededStatus = "missing" | "wrongarch" | "broken" | "found" | "builtin" | "apiset";
    interface NeededDll {
        /** As the first file importing it writes it. */
        name: string;
        status: NeededStatus;
        /** Where it was found ("" when it was not). */
        path: string;
        /** The file names of the program or the DLLs that import it. */
        neededBy: string[];
        /** Every import of it is a delay-load one. */
        delay: boolean;
    }
    interface ProgramNeeds {
        path: string;
        /** "x64", "x86", "arm64", "other". */
        machine: string;
        kind: "program" | "dll" | "";
        /** The .NET runtime version it asks for ("v4.0.30319"); "" when it is not a .NET program. */
        dotnet: string;
        dlls: NeededDll[];
        /** Why the file could not be read; "" when it was (the rest is empty otherwise). */
        error: string;
    }
    interface WineModule {
        /** Every prefix found, each folder once; the search runs off the page's thread. */
        prefixes(): Thenable<WinePrefix[]>;
        /** The prefix in use; null when tvn uses its own drive_c. */
        readonly current: WinePrefix | null;
        /** Makes a prefix the one in use, now and at the next start ("" for tvn's own drive_c).
         *  False, and nothing changed, when `path` is not a prefix. */
        use(path: string): boolean;
        /** The DLLs a program (native or Windows path) needs in the prefix in use, followed as
         *  Wine's loader looks for them; the work runs off the page's thread. */
        analyze(path: string): Thenable<ProgramNeeds>;
        /** The engine's repair and install runs, newest first (runs a dead process left open are
         *  closed as "interrupted" first). */
        history(): Thenable<HistoryRun[]>;
        /** Takes a run back: the prefix's programs end, its files and registry are restored. Only
         *  the newest run of a prefix not yet undone (`undoable`). */
        undo(id: string): Thenable<UndoResult>;
    }
    type RunState = "running" | "finished" | "failed" | "cancelled" | "interrupted" | "undone";
    interface HistoryRun {
        id: string;
        /** The prefix's folder; "" for tvn's own drive_c. */
        prefix: string;
        /** Milliseconds since the epoch; ended is 0 while it runs. */
        started: number;
        ended: number;
        state: RunState;
        items: { fileName: string; action: "repair" | "install" }[];
        /** How many files it changed. */
        changed: number;
        /** Files it changed that an undo cannot bring back. */
        cannotRestore: string[];
        undoable: boolean;
    }
    interface UndoResult {
        ok: boolean;
        restored: number;
        removed: number;
        error: string;
    }

    interface Modules {
        window: WindowModule;
        wine: WineModule;
        sys: SysModule;
        file: FileModule;
        reg: RegModule;
        zip: ZipModule;
        http: HttpModule;
        dragdrop: DragDropModule;
        trayicon: TrayIconModule;
        biz_repair: BizRepairModule;
        test: TestModule;
    }
}

/** The native module of that name; each call makes a new module object. */
declare function module<K extends keyof Tvn.Modules>(name: K): Tvn.Modules[K];

interface Window {
    module: typeof module;
}
