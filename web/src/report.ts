// The lines an unattended run (the --autorun start option) prints: one per item, read from the
// page's own rows so that they say what the user would see.

export interface RowReport {
    fileName: string;
    status: string;
    statusText: string;
    /** The bar's percentage; "?" while it is indeterminate, null when the row has no bar. */
    progress: number | "?" | null;
}

export function readRows(root: ParentNode): RowReport[] {
    return [...root.querySelectorAll<HTMLTableRowElement>("tr[data-file]")].map((row) => {
        const bar = row.querySelector("progress");
        return {
            fileName: row.dataset.file ?? "",
            status: row.dataset.status ?? "",
            statusText: row.querySelector(".status")?.textContent ?? "",
            progress: !bar || bar.hidden ? null : bar.hasAttribute("value") ? Math.round((bar.value / bar.max) * 100) : "?",
        };
    });
}

export function reportLine(phase: string, row: RowReport): string {
    const bar = row.progress === null ? "" : `, progress ${row.progress}%`;
    return `tvn: ${phase}: ${row.fileName}: ${row.statusText} (${row.status}${bar})`;
}
