// What a program needs, as the page shows it: each DLL with its status in words and the catalog
// item that supplies it, missing ones first, and the repair that puts exactly those in place.

import type { Catalog, CatalogDll, CatalogRuntime } from "./catalog";
import { format, type TextKey } from "./texts";

export type Source = { kind: "dll"; dll: CatalogDll } | { kind: "runtime"; runtime: CatalogRuntime } | { kind: "none" };

export interface CheckRow {
    dll: Tvn.NeededDll;
    source: Source;
}

/** What a user acts on first comes first. */
const statusOrder: Tvn.NeededStatus[] = ["missing", "wrongarch", "broken", "found", "builtin", "apiset"];

const statusKeys: Record<Tvn.NeededStatus, TextKey> = {
    missing: "needMissing",
    wrongarch: "needWrongArch",
    broken: "needBroken",
    found: "needFound",
    builtin: "needBuiltin",
    apiset: "needApiSet",
};

export function statusWords(dll: Tvn.NeededDll): string {
    const words = format(statusKeys[dll.status] ?? "needMissing");
    return dll.delay ? format("needDelay", { status: words }) : words;
}

/** The catalog's architecture for a program's machine; null when the catalog has none for it. */
export function catalogArch(machine: string): "x64" | "x86" | null {
    return machine === "x64" ? "x64" : machine === "x86" ? "x86" : null;
}

/** The catalog item that supplies `name` for a program of `machine`: a DLL entry of that name and
 *  architecture, else a runtime that provides it. Names compare without regard to case. */
export function sourceOf(name: string, machine: string, catalog: Catalog): Source {
    const lower = name.toLowerCase();
    const arch = catalogArch(machine);
    const dll = catalog.dlls.find((entry) => entry.fileName.toLowerCase() === lower && entry.arch === arch);
    if (dll)
        return { kind: "dll", dll };
    const runtime = arch ? catalog.runtimes.find((entry) => entry.provides.some((provided) => provided.toLowerCase() === lower)) : undefined;
    return runtime ? { kind: "runtime", runtime } : { kind: "none" };
}

export function sourceText(source: Source): string {
    switch (source.kind) {
    case "dll":
        return format("sourceDll", { name: source.dll.fileName });
    case "runtime":
        return format("sourceRuntime", { name: source.runtime.name });
    default:
        return format("sourceNone");
    }
}

/** The rows of an analysis, built once: missing first, then by name. */
export function checkRows(needs: Tvn.ProgramNeeds, catalog: Catalog): CheckRow[] {
    const rank = (status: Tvn.NeededStatus) => {
        const at = statusOrder.indexOf(status);
        return at < 0 ? statusOrder.length : at;
    };
    return needs.dlls
        .map((dll) => ({ dll, source: dll.status === "missing" ? sourceOf(dll.name, needs.machine, catalog) : { kind: "none" as const } }))
        .sort((a, b) => rank(a.dll.status) - rank(b.dll.status) || a.dll.name.toLowerCase().localeCompare(b.dll.name.toLowerCase()));
}

export interface RepairPlan {
    dlls: CatalogDll[];
    /** Each runtime once, however many of the missing DLLs it provides. */
    runtimes: CatalogRuntime[];
    /** Missing DLLs no catalog item supplies. */
    unknown: string[];
}

export function repairPlan(rows: CheckRow[]): RepairPlan {
    const plan: RepairPlan = { dlls: [], runtimes: [], unknown: [] };
    for (const { dll, source } of rows) {
        if (dll.status !== "missing")
            continue;
        if (source.kind === "dll" && !plan.dlls.includes(source.dll))
            plan.dlls.push(source.dll);
        else if (source.kind === "runtime" && !plan.runtimes.includes(source.runtime))
            plan.runtimes.push(source.runtime);
        else if (source.kind === "none")
            plan.unknown.push(dll.name);
    }
    return plan;
}

/** The line the page prints for one row (logs and unattended runs). */
export function checkLine(row: CheckRow): string {
    const by = row.dll.neededBy.join(", ");
    return `tvn: check: ${row.dll.name}: ${statusWords(row.dll)}${row.dll.status === "missing" ? `, ${sourceText(row.source)}` : ""} (needed by ${by})`;
}

/** The page's first words on an analysis: what the file is, or why it could not be read. */
export function checkSummary(needs: Tvn.ProgramNeeds): string {
    if (needs.error)
        return format("checkUnreadable", { error: needs.error });
    const missing = needs.dlls.filter((dll) => dll.status === "missing").length;
    const what = format(needs.kind === "dll" ? "checkKindDll" : "checkKindProgram", { machine: needs.machine });
    const dotnet = needs.dotnet ? format("checkDotnet", { version: needs.dotnet }) : "";
    return format("checkSummary", { what, dotnet, count: needs.dlls.length, missing });
}

/** The program a command line names: "--check <path>" or "--check=<path>"; "" for none. */
export function programToCheck(argv: string[]): string {
    for (let i = 0; i < argv.length; ++i) {
        if (argv[i] === "--check" && i + 1 < argv.length)
            return argv[i + 1];
        if (argv[i].startsWith("--check="))
            return argv[i].slice("--check=".length);
    }
    return "";
}
