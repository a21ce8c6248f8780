// A table of catalog items (the Libraries or the Runtimes view): a check box to select, the name,
// the description, the status, a bar for a repair's progress, and a button to repair (or retry)
// that one item. Rows are updated in place, so a catalog of thousands of items stays quick.

import { el } from "./dom";
import { needsRepair, rowBar, statusText, type ItemState } from "./items";
import { format, type TextKey } from "./texts";

export interface TableRow {
    fileName: string;
    name: string;
    description: string;
}

export interface ItemTable {
    element: HTMLElement;
    update(item: ItemState): void;
    /** The file names selected whose items a repair would take (nothing in place). */
    selectedToRepair(): string[];
    clearSelection(): void;
    setBusy(busy: boolean): void;
}

interface RowParts {
    row: HTMLTableRowElement;
    check: HTMLInputElement;
    status: HTMLElement;
    bar: HTMLProgressElement;
    action: HTMLButtonElement;
    item: ItemState | null;
    name: string;
}

/** `onSelection`: called when the user changes the selection. */
export function createItemTable(label: string, rows: TableRow[], actionKey: TextKey, onAction: (fileName: string) => void,
    onSelection: () => void): ItemTable {
    const parts = new Map<string, RowParts>();
    let busy = false;
    const selectAll = el("input", { type: "checkbox", "aria-label": format("selectAll"), onchange: () => {
        for (const part of parts.values())
            part.check.checked = selectAll.checked;
        onSelection();
    } });
    const body = el("tbody");
    for (const entry of rows) {
        const check = el("input", { type: "checkbox", "aria-label": entry.name, onchange: onSelection });
        const status = el("td", { class: "status" }, format("statusUnknown"));
        const bar = el("progress", { max: 100, value: 0, "aria-label": format("progressOf", { name: entry.name }) });
        const action = el("button", { class: "row-action", onclick: () => onAction(entry.fileName), disabled: true,
            "aria-label": format("actionOf", { action: format(actionKey), name: entry.name }) }, format(actionKey));
        const row = el("tr", { "data-file": entry.fileName, "data-status": "unknown" },
            el("td", { class: "select" }, check),
            el("td", { class: "name" }, entry.name),
            el("td", { class: "description" }, entry.description),
            status,
            el("td", { class: "progress" }, bar),
            el("td", { class: "action" }, action));
        parts.set(entry.fileName.toLowerCase(), { row, check, status, bar, action, item: null, name: entry.name });
    }
    const refreshAction = (part: RowParts) => {
        part.action.disabled = busy || !part.item || !needsRepair(part.item);
        const retry = part.item?.status === "failed" || part.item?.status === "cancelled";
        part.action.textContent = format(retry ? "retry" : actionKey);
        part.action.setAttribute("aria-label", format("actionOf", { action: part.action.textContent, name: part.name }));
    };
    const element = el("table", { class: "items", "aria-label": label },
        el("thead", {}, el("tr", {},
            el("th", { class: "select" }, selectAll),
            el("th", { class: "name" }, format("columnName")),
            el("th", { class: "description" }, format("columnDescription")),
            el("th", { class: "status" }, format("columnStatus")),
            el("th", { class: "progress" }, format("columnProgress")),
            el("th", { class: "action" }, format("columnAction")))),
        body);
    for (const part of parts.values())
        body.appendChild(part.row);
    return {
        element,
        update(item) {
            const part = parts.get(item.fileName.toLowerCase());
            if (!part)
                return;
            part.item = item;
            part.row.dataset.status = item.status;
            part.status.textContent = statusText(item);
            const bar = rowBar(item);
            part.bar.hidden = bar === null;
            if (bar === "busy")
                part.bar.removeAttribute("value"); // indeterminate: no part of the work is known yet
            else
                part.bar.value = Math.round((bar ?? 0) * 100);
            refreshAction(part);
        },
        selectedToRepair() {
            return [...parts.values()].filter((part) => part.check.checked && part.item && needsRepair(part.item)).map((part) => part.row.dataset.file as string);
        },
        clearSelection() {
            selectAll.checked = false;
            for (const part of parts.values())
                part.check.checked = false;
            onSelection();
        },
        setBusy(value) {
            busy = value;
            for (const part of parts.values())
                refreshAction(part);
        },
    };
}
