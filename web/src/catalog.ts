// The catalog the page works from (catalog.json in the pack, or another catalog of the pack that
// config.ini names): the DLLs it knows, the runtime packages it can install and the files it offers
// for download. Parsing checks every entry, because each
// fileName keys the engine's events and becomes a file name on disk and on the server.

export interface CatalogDll {
    fileName: string;
    fileType: string;
    description: string;
    /** Where the file belongs (a Windows path), its name included. */
    filePath: string;
    /** Folders the scan looks in, each ending in a separator. */
    checkPath: string[];
    needReg: boolean;
    /** The DLL's own architecture: where it goes follows the prefix's. */
    arch: "x64" | "x86";
}

export interface CatalogRuntime {
    name: string;
    /** The name under which the installed package is listed. */
    displayName: string;
    fileName: string;
    cmdParam: string;
    /** The DLLs it puts in place (file names). */
    provides: string[];
}

export interface CatalogDownload {
    name: string;
    fileName: string;
    fileType: string;
}

export interface Catalog {
    home: string;
    dlls: CatalogDll[];
    runtimes: CatalogRuntime[];
    downloads: CatalogDownload[];
}

export class CatalogError extends Error {}

type Json = Record<string, unknown>;

function isObject(value: unknown): value is Json {
    return typeof value === "object" && value !== null && !Array.isArray(value);
}

function stringField(entry: Json, key: string, where: string, fallback?: string): string {
    const value = entry[key];
    if (typeof value === "string")
        return value;
    if (value === undefined && fallback !== undefined)
        return fallback;
    throw new CatalogError(`${where}: "${key}" must be a string`);
}

/** A name that stays one file: no folder separators, not "." or "..". */
export function isPlainFileName(name: string): boolean {
    return name !== "" && name !== "." && name !== ".." && !/[\\/:\0]/.test(name);
}

function fileNameField(entry: Json, where: string): string {
    const name = stringField(entry, "fileName", where);
    if (!isPlainFileName(name))
        throw new CatalogError(`${where}: "fileName" must be a plain file name`);
    return name;
}

/** A folder the scan joins the file name to directly: it must end in a separator. */
export function asFolder(path: string): string {
    return /[\\/]$/.test(path) ? path : path + (path.includes("/") && !path.includes("\\") ? "/" : "\\");
}

function providesField(entry: Json, where: string): string[] {
    const provides = entry.provides ?? [];
    if (!Array.isArray(provides) || !provides.every((name) => typeof name === "string" && isPlainFileName(name)))
        throw new CatalogError(`${where}: "provides" must be an array of file names`);
    return provides;
}

function listOf(root: Json, key: string): Json[] {
    const value = root[key] ?? [];
    if (!Array.isArray(value))
        throw new CatalogError(`"${key}" must be an array`);
    return value.map((entry, index) => {
        if (!isObject(entry))
            throw new CatalogError(`${key}[${index}] must be an object`);
        return entry;
    });
}

function checkUnique(names: string[], key: string): void {
    const seen = new Set<string>();
    names.forEach((name, index) => {
        const folded = name.toLowerCase();
        if (seen.has(folded))
            throw new CatalogError(`${key}[${index}]: "${name}" is listed twice`);
        seen.add(folded);
    });
}

export function parseCatalog(value: unknown): Catalog {
    if (!isObject(value))
        throw new CatalogError("the catalog must be an object");
    const dlls = listOf(value, "dlls").map((entry, index): CatalogDll => {
        const where = `dlls[${index}]`;
        const fileName = fileNameField(entry, where);
        const checkPath = entry.checkPath ?? [];
        if (!Array.isArray(checkPath) || !checkPath.every((path) => typeof path === "string" && path !== ""))
            throw new CatalogError(`${where}: "checkPath" must be an array of folders`);
        const filePath = stringField(entry, "filePath", where);
        if (filePath === "")
            throw new CatalogError(`${where}: "filePath" is empty`);
        const arch = stringField(entry, "arch", where, "x64");
        if (arch !== "x64" && arch !== "x86")
            throw new CatalogError(`${where}: "arch" must be "x64" or "x86"`);
        return {
            fileName,
            fileType: stringField(entry, "fileType", where, ""),
            description: stringField(entry, "description", where, ""),
            filePath,
            checkPath: checkPath.map(asFolder),
            needReg: entry.needReg === true,
            arch,
        };
    });
    const runtimes = listOf(value, "runtimes").map((entry, index): CatalogRuntime => {
        const where = `runtimes[${index}]`;
        const fileName = fileNameField(entry, where);
        return {
            name: stringField(entry, "name", where, fileName),
            displayName: stringField(entry, "displayName", where),
            fileName,
            cmdParam: stringField(entry, "cmdParam", where, ""),
            provides: providesField(entry, where),
        };
    });
    const downloads = listOf(value, "downloads").map((entry, index): CatalogDownload => {
        const where = `downloads[${index}]`;
        const fileName = fileNameField(entry, where);
        return { name: stringField(entry, "name", where, fileName), fileName, fileType: stringField(entry, "fileType", where, "") };
    });
    checkUnique(dlls.map((dll) => dll.fileName), "dlls");
    checkUnique(runtimes.map((runtime) => runtime.fileName), "runtimes");
    checkUnique(downloads.map((download) => download.fileName), "downloads");
    return { home: stringField(value, "home", "the catalog", ""), dlls, runtimes, downloads };
}

/** The pack's file for the catalog config.ini's `[catalog] name` chooses: the page's own for "",
 *  else `<name>-catalog.json` (the demo's is "demo"). */
export function catalogFile(name: string): string {
    if (name === "")
        return "catalog.json";
    if (!/^[a-z0-9-]+$/.test(name))
        throw new CatalogError(`"${name}" is not a catalog name (letters, digits and "-")`);
    return `${name}-catalog.json`;
}

export function toDllItem(dll: CatalogDll): Tvn.DllItem {
    return { filePath: dll.filePath, checkPath: dll.checkPath, fileName: dll.fileName, fileType: dll.fileType, needReg: dll.needReg };
}

export function toSoftwareItem(runtime: CatalogRuntime): Tvn.SoftwareItem {
    return { displayName: runtime.displayName, fileName: runtime.fileName, cmdParam: runtime.cmdParam, regPath: "" };
}

/** The last component of a native or Windows path. */
export function baseName(path: string): string {
    return path.split(/[\\/]/).pop() ?? path;
}

/** The catalog's DLL of that file name, compared as Windows does: without regard to case. */
export function findDll(catalog: Catalog, path: string): CatalogDll | undefined {
    const name = baseName(path).toLowerCase();
    return catalog.dlls.find((dll) => dll.fileName.toLowerCase() === name);
}
