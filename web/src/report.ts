// The lines an unattended run (the --autorun start option) prints: one per item, saying what its
// row shows (the status in words, the bar's part).

import { rowBar, statusText, type ItemState } from "./items";

export interface RowReport {
    fileName: string;
    status: string;
    statusText: string;
    /** The bar's percentage; "?" while it is indeterminate, null when the row has no bar. */
    progress: number | "?" | null;
}

export function rowReport(item: ItemState): RowReport {
    const bar = rowBar(item);
    return {
        fileName: item.fileName,
        status: item.status,
        statusText: statusText(item),
        progress: bar === null ? null : bar === "busy" ? "?" : Math.round(bar * 100),
    };
}

export function reportLine(phase: string, row: RowReport): string {
    const bar = row.progress === null ? "" : `, progress ${row.progress}%`;
    return `tvn: ${phase}: ${row.fileName}: ${row.statusText} (${row.status}${bar})`;
}
