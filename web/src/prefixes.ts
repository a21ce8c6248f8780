// The Wine prefixes as the page shows them: how one is named, the picker's groups and search, and
// where a catalog DLL belongs in a prefix of a given architecture.

import type { CatalogDll } from "./catalog";
import { format, type TextKey } from "./texts";

/** The order of the picker's groups: the tools' own prefixes first, then the general ones. */
export const sourceOrder: Tvn.PrefixSource[] = ["steam", "bottles", "lutris", "winetricks", "default", "chosen", "environment"];

const sourceKeys: Record<Tvn.PrefixSource, TextKey> = {
    steam: "sourceSteam",
    bottles: "sourceBottles",
    lutris: "sourceLutris",
    winetricks: "sourceWinetricks",
    default: "sourceDefault",
    chosen: "sourceChosen",
    environment: "sourceEnvironment",
};

export function sourceLabel(source: Tvn.PrefixSource): string {
    return format(sourceKeys[source] ?? "sourceChosen");
}

export function archLabel(arch: string): string {
    return arch === "win32" ? format("arch32") : arch === "win64" ? format("arch64") : format("archUnknown");
}

/** "Dota 2 (Steam, 64-bit)". */
export function prefixSummary(prefix: Tvn.WinePrefix): string {
    return format("prefixSummary", { name: prefix.name, source: sourceLabel(prefix.source), arch: archLabel(prefix.arch) });
}

export interface PrefixGroup {
    source: Tvn.PrefixSource;
    label: string;
    prefixes: Tvn.WinePrefix[];
}

/** The prefixes whose name, path or source contain every word of `query` (without regard to
 *  case), grouped by source in sourceOrder, each group sorted by name. Empty groups are left out. */
export function groupPrefixes(prefixes: Tvn.WinePrefix[], query: string): PrefixGroup[] {
    const words = query.toLowerCase().split(/\s+/).filter(Boolean);
    const matches = (prefix: Tvn.WinePrefix) => {
        const text = `${prefix.name}\n${prefix.path}\n${sourceLabel(prefix.source)}`.toLowerCase();
        return words.every((word) => text.includes(word));
    };
    return sourceOrder
        .map((source) => ({
            source,
            label: sourceLabel(source),
            prefixes: prefixes.filter((prefix) => prefix.source === source && matches(prefix))
                .sort((a, b) => a.name.localeCompare(b.name) || a.path.localeCompare(b.path)),
        }))
        .filter((group) => group.prefixes.length > 0);
}

export type Placement = { dll: CatalogDll } | { unavailable: TextKey };

const system32 = /([\\/])system32([\\/]|$)/i;

function inSyswow64(path: string): string {
    return path.replace(system32, (_match, before: string, after: string) => `${before}syswow64${after}`);
}

/** Where a DLL goes in a prefix of `prefixArch`: a 64-bit Windows keeps 64-bit DLLs in System32 and
 *  32-bit ones in SysWOW64; a 32-bit one keeps its own in System32 and cannot run 64-bit ones.
 *  An unknown architecture (and tvn's own drive_c) is taken as 64-bit, Wine's default. */
export function placeDll(dll: CatalogDll, prefixArch: string): Placement {
    if (prefixArch === "win32")
        return dll.arch === "x64" ? { unavailable: "statusNot32" } : { dll };
    if (dll.arch === "x64")
        return { dll };
    return { dll: { ...dll, filePath: inSyswow64(dll.filePath), checkPath: dll.checkPath.map(inSyswow64) } };
}
